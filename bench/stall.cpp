// The longest time the Qt event loop goes without a turn while the real
// program (real Linux services, the Qt front end, its driver) runs one
// block-count poll against the stand-in client, from the click on "G-B-C"
// until the poll has shown its answer.
//
//   vqd-bench-stall qt         the program's own wait (a nested event loop)
//   vqd-bench-stall sleeping   the same poll with a sleeping wait put in its place
//
// The configuration comes from the store as for the program (scripts/bench.sh
// fills it). Prints one "name: value unit" line; passes or fails nothing.
#include "frontend/qt/qt_topmost.h"
#include "frontend/qt/realtime.h"
#include "frontend/qt/window_view.h"
#include "platform/posix/posix_platform.h"
#include "windows/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// The wait of a program that blocks its thread: nothing is painted, no timer runs.
class SleepingClock final : public vqd::Clock {
public:
    SleepingClock() { started_.start(); }
    std::int64_t now_ms() const override { return started_.elapsed(); }
    void wait_ms(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    QElapsedTimer started_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool sleeping = argc > 1 && std::strcmp(argv[1], "sleeping") == 0;
    const std::string invoked_as = argv[0];
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    vqd::PosixPlatform platform(invoked_as);
    vqd::qt::QtClock qt_clock;
    SleepingClock sleeping_clock;
    vqd::Clock& clock = sleeping ? static_cast<vqd::Clock&>(sleeping_clock) : qt_clock;
    vqd::Scheduler scheduler(clock);
    vqd::qt::QtTopmost topmost;
    const vqd::Services base = platform.services();
    const vqd::Services services{base.store, base.executable, base.runner, base.processes,
                                 base.files, topmost,         base.errors, base.conventions};
    vqd::MainWindow main_window(scheduler, services);
    main_window.start();
    vqd::qt::SchedulerDriver driver(scheduler);
    vqd::qt::WindowView view(main_window);
    view.show();
    driver.arm();

    // A turn of the event loop every millisecond, when the loop is free to turn.
    // The same measure over the three seconds before the click gives the
    // machine's own floor (scheduling, the X server), for comparison.
    QElapsedTimer since;
    qint64 last = -1, longest = 0, longest_at = 0, floor = 0;
    bool clicked = false;
    const std::string before = main_window["CURRENT_BLOCK_TEXTBOX"].text();
    QTimer turn;
    turn.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = since.elapsed();
        if (last >= 0 && now - last > longest) longest = now - last, longest_at = last;
        last = now;
        if (!clicked) return;
        const bool answered = main_window["CURRENT_BLOCK_TEXTBOX"].text() != before && !scheduler.busy();
        if (answered || now > 20000) {
            std::printf("stall_during_poll_%s_wait: %lld ms\n", sleeping ? "sleeping" : "qt", static_cast<long long>(longest));
            std::printf("stall_during_poll_%s_wait_began_after: %lld ms\n", sleeping ? "sleeping" : "qt",
                        static_cast<long long>(longest_at));
            std::printf("stall_poll_%s_wait_duration: %lld ms\n", sleeping ? "sleeping" : "qt", static_cast<long long>(now));
            std::printf("stall_before_poll_%s_floor: %lld ms\n", sleeping ? "sleeping" : "qt", static_cast<long long>(floor));
            std::fflush(stdout);
            QCoreApplication::exit(answered ? 0 : 1);
        }
    });
    // Start once the window is up and the first ticks have run.
    QTimer::singleShot(1500, [&] {
        since.start();
        turn.start(1);
    });
    QTimer::singleShot(4500, [&] {
        floor = longest;
        longest = 0;
        since.restart();
        last = 0;
        clicked = true;
        main_window.post_click(main_window["GETBLOCKCOUNT_BUTTON"]);
    });
    return QApplication::exec();
}
