// The Linux desktop program: the main window's load handling runs first,
// then the window is shown and the scheduler's timers start ticking on Qt's
// event loop. The program ends when the main window closes, by the user or
// by Auto Close. It takes no command-line arguments; the name it was started
// under names its configuration.
#include "frontend/qt/qt_topmost.h"
#include "frontend/qt/realtime.h"
#include "frontend/qt/window_view.h"
#include "platform/posix/posix_platform.h"
#include "windows/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>

#ifdef VQD_TEST_SEAMS
#include <cstdlib>
#endif

int main(int argc, char** argv) {
    const std::string invoked_as = argc > 0 ? argv[0] : "";
    QApplication app(argc, argv);
    // Fusion draws every colour the windows ask for; native styles may not.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vqd/VQ-DAZ-ER.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("VQ-DAZ-ER"));
    // The model decides when the program ends, not the last window Qt sees go.
    QApplication::setQuitOnLastWindowClosed(false);

    vqd::PosixPlatform platform(invoked_as);
    vqd::qt::QtClock clock;
    vqd::Scheduler scheduler(clock);
    vqd::qt::QtTopmost topmost;
    const vqd::Services base = platform.services();
    const vqd::Services services{base.store, base.executable, base.runner, base.processes,
                                 base.files, topmost,         base.errors, base.conventions};

    vqd::MainWindow main_window(scheduler, services);
    main_window.start();
#ifdef VQD_TEST_SEAMS
    // Soak builds only: a shorter poll loop, so that minutes see many loops.
    if (const char* loop_ms = std::getenv("VQD_TEST_LOOP_MS"))
        main_window["GET_LOOP_TIMER"].set_interval(std::atoi(loop_ms));
#endif

    vqd::qt::SchedulerDriver driver(scheduler);
    vqd::qt::WindowView view(main_window);
    view.set_status_hint(QStringLiteral("Every failure is also written to ") +
                         QString::fromStdString(platform.errors.location()));
    view.on_closed = [] { QCoreApplication::exit(0); };
    if (main_window.closed()) return 0;
    view.show();
    driver.arm();
    return QApplication::exec();
}
