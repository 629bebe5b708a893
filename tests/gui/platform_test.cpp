// The Qt pieces under the windows: fonts with real glyphs, the driver on
// real time around a handler's wait, and the topmost service.
#include "gui_support.h"

#include "frontend/qt/fonts.h"
#include "frontend/qt/qt_topmost.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <array>

namespace vqd::gui_test {
namespace {

// --- Fonts ---

TEST(Fonts, EveryDesignedFamilyDrawsRealGlyphs) {
    // Without a usable font Qt draws every character as the same empty box,
    // silently: narrow and wide letters then measure alike.
    for (std::string_view family : {"MS Sans Serif", "Arial", "Arial Black"}) {
        SCOPED_TRACE(std::string(family));
        const QString chosen = qt::nearest_family(family);
        ASSERT_FALSE(chosen.isEmpty()) << "none of the look-alike families is installed";
        EXPECT_TRUE(QFontDatabase::families().contains(chosen, Qt::CaseInsensitive));
        const QFontMetrics m(qt::control_font(Font{family, 8.25, 400}));
        EXPECT_LT(m.horizontalAdvance("iiii") * 3 / 2, m.horizontalAdvance("WWWW"));
    }
}

// --- Clock and driver ---

// A small window with two timers: one whose first tick waits, one that falls
// due meanwhile. The held tick must come once the wait is over, and the timer
// must go on ticking: the driver has to re-arm after a handler that waited.
constexpr ControlDesign kTwoTimers[] = {
    {.name = "SLOW_TIMER", .kind = ControlKind::Timer},
    {.name = "FAST_TIMER", .kind = ControlKind::Timer},
};

class TimerWindow : public Window {
public:
    explicit TimerWindow(Scheduler& s) : Window("TIMERS", s, kTwoTimers, Rect{0, 0, 100, 100}) {}
    using Window::on_timer;
};

TEST(RealTime, TickHeldDuringAWaitComesAfterItAndTimersGoOn) {
    qt::QtClock clock;
    Scheduler scheduler(clock);
    qt::SchedulerDriver driver(scheduler);
    TimerWindow w(scheduler);
    std::vector<std::pair<std::string, std::int64_t>> log;
    bool waited = false;
    std::int64_t wait_end = 0;
    w.on_timer("SLOW_TIMER", [&] {
        log.emplace_back("slow", clock.now_ms());
        if (waited) return;
        waited = true;
        scheduler.wait(400);
        wait_end = clock.now_ms();
    });
    w.on_timer("FAST_TIMER", [&] { log.emplace_back("fast", clock.now_ms()); });
    w["SLOW_TIMER"].set_interval(100);
    w["FAST_TIMER"].set_interval(150);
    w["SLOW_TIMER"].set_enabled(true);
    w["FAST_TIMER"].set_enabled(true);
    driver.arm();

    const auto ran_after = [&](std::int64_t from) {
        return std::count_if(log.begin(), log.end(), [&](const auto& e) { return e.second > from; });
    };
    ASSERT_TRUE(wait_until([&] { return wait_end > 0 && ran_after(wait_end + 100) >= 3; }, 3000));
    // Nothing ran inside the wait.
    for (const auto& [name, at] : log)
        if (at > log.front().second && at < wait_end) ADD_FAILURE() << name << " ran during the wait at " << at;
    // The fast timer fell due during the wait and ran once right after it.
    ASSERT_GE(log.size(), 2u);
    int fast_after = 0;
    for (const auto& [name, at] : log)
        if (name == "fast" && at >= wait_end && at < wait_end + 50) ++fast_after;
    EXPECT_EQ(fast_after, 1);
}

// --- Topmost ---

TEST(Topmost, OwnWindowChangesItsFlagInPlace) {
    QWidget w;
    w.resize(100, 50);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto handle = qt::QtTopmost::handle_of(&w);
    QWindow* native = w.windowHandle();
    qt::QtTopmost top;

    top.set_topmost(handle, true);
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(native->flags().testFlag(Qt::WindowStaysOnTopHint));
    // Not re-created, not hidden.
    EXPECT_EQ(w.windowHandle(), native);
    EXPECT_EQ(qt::QtTopmost::handle_of(&w), handle);
    EXPECT_TRUE(w.isVisible());

    top.set_topmost(handle, false);
    EXPECT_FALSE(native->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.isVisible());

    // A window that is not ours, or none at all, is left alone.
    top.set_topmost(handle + 12345, false);
    top.set_topmost(0, true);
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(Topmost, ForegroundIsOurActiveWindowOrNothing) {
    qt::QtTopmost top;
    QWidget w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    if (!wait_until([&] { return QApplication::activeWindow() == &w; }, 1000))
        GTEST_SKIP() << "the platform does not activate windows";
    EXPECT_EQ(top.foreground_window(), qt::QtTopmost::handle_of(&w));
    w.hide();
    ASSERT_TRUE(wait_until([&] { return QApplication::activeWindow() == nullptr; }, 1000));
    EXPECT_EQ(top.foreground_window(), 0u);
}

}  // namespace
}  // namespace vqd::gui_test
