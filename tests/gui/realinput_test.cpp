// Under a real X server (Xvfb) with real input from xdotool: a block-count
// poll holds the only handler for six seconds of waits. The window must keep
// painting meanwhile (the yellow reading stage, then the system window colour,
// are on the screen when they should be), and a click made during the wait
// must reach its handler after the wait, exactly once. The same holds for
// STOP clicked inside the poll of a run's settling phase; a settings window
// stays above an always-on-top main window; a window stored off every screen
// opens on it, on one screen and on two monitors under a window manager.
#include "gui_support.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#ifdef VQD_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace vqd::gui_test {
namespace {

class RealInputTest : public GuiTest {
protected:
    // openbox on the test's display for the life of the object.
    struct Openbox {
        QProcess process;
        // Nothing when it runs, else why not.
        std::string start() {
            process.start("openbox", {"--sm-disable"});
            if (!process.waitForStarted(5000)) return "openbox could not be started";
            QTest::qWait(1500);  // openbox takes the screen over
            if (process.state() != QProcess::Running)
                return "openbox did not start: " + process.readAllStandardError().toStdString();
            return {};
        }
        ~Openbox() {
            if (process.state() == QProcess::NotRunning) return;
            process.terminate();
            process.waitForFinished(5000);
        }
    };
    // A real click at the middle of a widget, made by another program.
    static void xdotool_click(QWidget* w, bool wait) {
        const QPoint p = w->mapToGlobal(w->rect().center());
        const QStringList args = {"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"};
        if (wait) {
            QProcess::execute("xdotool", args);
        } else {
            QProcess::startDetached("xdotool", args);
        }
    }
    // What the X server shows at a widget, read back from the root window.
    static QImage screen_at(QWidget* w) {
        const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
        return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    }
};

TEST_F(RealInputTest, ClickDuringAPollWaitComesAfterItOnceAndTheWindowKeepsPainting) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    store("CLI_GBC_BAT_TICKBOX", "1");
    store("AlwaysOnTopTimer_TICKBOX", "0");
    store("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.BAT");
    store("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.LOG");

    QImage yellow_stage, background_stage;
    std::vector<std::unique_ptr<QProcess>> shots;
    std::int64_t batch_ran = -1;
    // The poll runs the batch file one second into its handler; from there on
    // the handler waits 3 s, turns the box yellow, waits 1 s, shows the log on
    // the system window colour, and so on. Everything below fires inside those
    // waits: Qt timers still run there, user input does not.
    platform.runner.on_run = [&](const std::string& line) {
        if (line != "/work/DAZ-ER-GBC.BAT") return;
        platform.files.content["/work/DAZ-ER-GBC.LOG"] = "4711\r\n";
        batch_ran = clock.now_ms();
        QTimer::singleShot(1000, [&] { xdotool_click(widget("CLI_GCC_BAT_TICKBOX"), false); });
        QTimer::singleShot(3500, [&] {
            yellow_stage = screen_at(widget("CURRENT_BLOCK_TEXTBOX"));
            auto shot = std::make_unique<QProcess>();
            shot->start("import", {"-window", "root", shot_path("realinput-poll-wait.png")});
            shots.push_back(std::move(shot));
        });
        QTimer::singleShot(4500, [&] { background_stage = screen_at(widget("CURRENT_BLOCK_TEXTBOX")); });
    };

    start();
    struct Seen {
        std::string what;
        std::int64_t at;
        int value;
    };
    std::vector<Seen> seen;
    const int id = main->observe([&](const Change& ch) {
        if (!ch.control) return;
        if (ch.control->name() == "CLI_GCC_BAT_TICKBOX" && ch.prop == Prop::Value)
            seen.push_back({"tick", clock.now_ms(), ch.control->value()});
        if (ch.control->name() == "GETBLOCKCOUNT_COMMAND_TIMER" && ch.prop == Prop::Enabled && !ch.control->enabled())
            seen.push_back({"poll over", clock.now_ms(), 0});
    });

    xdotool_click(widget("GETBLOCKCOUNT_BUTTON"), true);
    ASSERT_TRUE(wait_until([&] { return batch_ran >= 0; }, 5000)) << "the G-B-C click did not start a poll";
    ASSERT_TRUE(wait_until([&] { return seen.size() >= 2; }, 10000));
    QTest::qWait(500);  // a second delivery of the click would show by now
    main->unobserve(id);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].what, "poll over");
    EXPECT_EQ(seen[1].what, "tick");
    EXPECT_EQ(seen[1].value, 1);
    EXPECT_GE(seen[1].at, seen[0].at);
    EXPECT_EQ((*main)["CLI_GCC_BAT_TICKBOX"].value(), 1);
    EXPECT_EQ(shown_text(widget("CURRENT_BLOCK_TEXTBOX")), "4711");

    // Read back from the server: the box's background, clear of its text.
    ASSERT_FALSE(yellow_stage.isNull());
    ASSERT_FALSE(background_stage.isNull());
    const QPoint inside(yellow_stage.width() - 5, yellow_stage.height() - 5);
    EXPECT_EQ(yellow_stage.pixelColor(inside), QColor(255, 255, 0));
    EXPECT_EQ(background_stage.pixelColor(inside), QApplication::palette().color(QPalette::Base));
    yellow_stage.save(shot_path("realinput-yellow-stage.png"));
    for (auto& s : shots) {
        if (s->state() != QProcess::NotRunning) s->waitForFinished(10000);
        EXPECT_EQ(s->exitCode(), 0);
    }
}

TEST_F(RealInputTest, StopClickedDuringTheBlockPollRunsWhenItEndsAndSettlingPutsThePollingBack) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const auto seen = stop_during_settling([](QWidget* button) { xdotool_click(button, false); });
    EXPECT_EQ(seen, (std::vector<std::string>{"block poll over", "caption START", "connection batch",
                                              "connection poll over", "caption STOP"}));
    EXPECT_TRUE((*main)["GET_LOOP_TIMER"].enabled());
    EXPECT_EQ(shown_text(widget("START_STOP_BUTTON")), "STOP");
}

// Always On Top with the settings window open where the main window is (both
// at their default 1000, 1000 twips): the ticks that keep the main window on
// top must leave the settings window above it, so its fields take real
// clicks and keys. Without a window manager only the raise order decides;
// with one (openbox) the stays-on-top layer does.
class SettingsAboveTheMainWindow : public RealInputTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SettingsAboveTheMainWindow, ItsFieldsTakeRealInputAfterSeveralOnTopTicks) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    Openbox window_manager;
    if (GetParam()) {
        const std::string why_not = window_manager.start();
        ASSERT_TRUE(why_not.empty()) << why_not;
    }
    store("AlwaysOnTopTimer_TICKBOX", "1");
    real_topmost = true;
    start();
    ASSERT_TRUE(open_settings());
    QTest::qWait(3500);  // three ticks of the always-on-top timer
    SettingsWindow* settings = main->settings_window();
    ASSERT_NE(settings, nullptr);
    QWidget* field = settings_widget("CONF_LOCATION_TEXTBOX");  // where the main window lies too
    xdotool_click(field, true);
    QProcess::execute("xdotool", {"type", "--delay", "30", "abc"});
    const bool typed = wait_until([&] { return (*settings)["CONF_LOCATION_TEXTBOX"].text() == "abc"; }, 3000);
    QProcess::execute("import", {"-window", "root", shot_path(GetParam() ? "realinput-settings-openbox.png"
                                                                        : "realinput-settings-no-wm.png")});
    EXPECT_TRUE(typed) << "the settings field did not get the typing; it holds \""
                       << (*settings)["CONF_LOCATION_TEXTBOX"].text() << "\"";
}

INSTANTIATE_TEST_SUITE_P(WindowManager, SettingsAboveTheMainWindow, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Openbox" : "None"; });

// While nothing covers a window kept on top, its ticks send the X server
// nothing (the server's request numbers, read by a no-op request before and
// after three ticks, move by one); once another window is mapped over it, the
// next tick puts it back on top (without a window manager, where only the
// raise decides; openbox keeps it above by itself).
class OnTopTicks : public RealInputTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OnTopTicks, SendNothingWhileTheWindowStaysOnTopAndRaiseItOnceCovered) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
#ifndef VQD_HAVE_XCB
    GTEST_SKIP() << "built without libxcb";
#else
    Openbox window_manager;
    if (GetParam()) {
        const std::string why_not = window_manager.start();
        ASSERT_TRUE(why_not.empty()) << why_not;
    }
    auto coloured = [](QWidget& w, QColor colour) {
        QPalette palette = w.palette();
        palette.setColor(QPalette::Window, colour);
        w.setPalette(palette);
        w.setAutoFillBackground(true);
        w.setGeometry(200, 200, 300, 200);
        w.show();
        return QTest::qWaitForWindowExposed(&w);
    };
    QWidget own;
    ASSERT_TRUE(coloured(own, Qt::red));
    qt::QtTopmost top;
    const auto handle = qt::QtTopmost::handle_of(&own);
    top.set_topmost(handle, true);
    QTest::qWait(500);  // the server's and the window manager's answers arrive
    top.set_topmost(handle, true);
    QTest::qWait(300);

    xcb_connection_t* x = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const unsigned before = xcb_no_operation(x).sequence;
    for (int tick = 0; tick < 3; ++tick) top.set_topmost(handle, true);
    const unsigned after = xcb_no_operation(x).sequence;
    EXPECT_EQ(after - before, 1u) << "requests sent by three ticks with nothing changed";

    QWidget cover;  // not owned by it: to the rule, another program's window
    ASSERT_TRUE(coloured(cover, Qt::blue));
    // The ticks go on (here faster than the timer's one a second): on a busy
    // machine the server's report that the window was covered may come after
    // the first of them.
    const bool red = wait_until(
        [&] {
            top.set_topmost(handle, true);
            return screen_at(&own).pixelColor(150, 100) == QColor(Qt::red);
        },
        4000);
    QProcess::execute("import", {"-window", "root", shot_path(GetParam() ? "realinput-on-top-openbox.png"
                                                                        : "realinput-on-top-no-wm.png")});
    EXPECT_TRUE(red) << "the covering window stayed on top";
#endif
}

INSTANTIATE_TEST_SUITE_P(WindowManager, OnTopTicks, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Openbox" : "None"; });

// One 1280x1024 screen (the run's Xvfb). A position far off it is shown on
// it, wholly; one on it is kept exactly; the stored keys keep what they held.
TEST_F(RealInputTest, AWindowStoredOffEveryScreenOpensWhollyOnTheScreenAndKeepsItsStoredPosition) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(screen.size(), QSize(1280, 1024));
    store("AlwaysOnTopTimer_TICKBOX", "0");
    store("MainLeft", "400000");
    store("MainTop", "300000");
    store("SETTINGS-Left", "1500");
    store("SETTINGS-Top", "3000");
    start();
    QWidget* window = view->window();
    EXPECT_TRUE(screen.contains(window->frameGeometry())) << "shown at " << window->x() << "," << window->y();
    EXPECT_EQ(main->left(), 400000);
    EXPECT_EQ(main->top(), 300000);

    ASSERT_TRUE(open_settings());
    QWidget* settings = view->modal_child()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_EQ(settings->frameGeometry().topLeft(), QPoint(100, 200));

    QCoreApplication::postEvent(settings, new QCloseEvent);
    ASSERT_TRUE(wait_until([&] { return main->settings_window() == nullptr; }));
    QCoreApplication::postEvent(window, new QCloseEvent);
    ASSERT_TRUE(wait_until([&] { return main->closed(); }));
    // The close saves what the model held: the stored position, unchanged.
    auto stored = [&](const char* key) { return std::stof(platform.store.value("VQ-DAZ-ER", key).value_or("-1")); };
    EXPECT_EQ(stored("MainLeft"), 400000);
    EXPECT_EQ(stored("MainTop"), 300000);
    EXPECT_EQ(stored("SETTINGS-Left"), 1500);
    EXPECT_EQ(stored("SETTINGS-Top"), 3000);
}

// Two monitors under openbox (gui_realinput_two_monitors). openbox's placement
// may report a passing position, now and then late, which is no move of the
// user's; the first opening replays such a report so every run has one.
TEST_F(RealInputTest, OnTwoMonitorsAWindowStoredBeyondThemOpensOnTheNearestAndKeepsItsStoredPositionUntilMoved) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const auto screens = QGuiApplication::screens();
    if (screens.size() != 2) GTEST_SKIP() << "needs two monitors (run by gui_realinput_two_monitors)";
    QRect right;
    for (const QScreen* s : screens)
        if (s->geometry().x() > 0) right = s->geometry();
    ASSERT_EQ(right, QRect(1024, 0, 1024, 768));
    Openbox window_manager;
    const std::string why_not = window_manager.start();
    ASSERT_TRUE(why_not.empty()) << why_not;
    auto stored = [&](const char* key) { return std::stof(platform.store.value("VQ-DAZ-ER", key).value_or("-1")); };

    constexpr int kOpenings = 8;  // then one more, moved by the user
    for (int opening = 1; opening <= kOpenings + 1; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening));
        store("AlwaysOnTopTimer_TICKBOX", "0");
        store("MainLeft", "60000");  // 4000 pixels: far beyond the right monitor
        store("MainTop", "3000");
        start();
        QWidget* window = view->window();
        ASSERT_TRUE(wait_until([&] { return window->frameGeometry().topLeft() != window->geometry().topLeft(); }))
            << "openbox did not frame the window";
        if (opening == 1) {
            const QPoint placed = window->pos();
            window->move(placed - QPoint(1, 20));
            ASSERT_TRUE(wait_until([&] { return window->pos() != placed; }));
            window->move(placed);
            ASSERT_TRUE(wait_until([&] { return window->pos() == placed; }));
        }
        const bool moved = opening > kOpenings;
        QTest::qWait(moved ? 2000 : 500);  // the placement settled, or about to
        EXPECT_TRUE(right.contains(window->frameGeometry()))
            << "shown at " << window->x() << "," << window->y() << " " << window->width() << "x" << window->height();
        if (moved) {
            // The user drags it onto the left monitor.
            QProcess::execute("xdotool", {"windowmove", QString::number(window->winId()), "300", "150"});
            EXPECT_TRUE(wait_until([&] { return main->left() < 1024 * 15; })) << "the move did not reach the model";
        }
        QCoreApplication::postEvent(window, new QCloseEvent);
        ASSERT_TRUE(wait_until([&] { return main->closed(); }));
        if (moved) {
            EXPECT_EQ(stored("MainLeft"), main->left());
            EXPECT_LT(stored("MainLeft"), 1024 * 15);
        } else {
            ASSERT_EQ(stored("MainLeft"), 60000);
            ASSERT_EQ(stored("MainTop"), 3000);
        }
        view.reset();
        main.reset();
        QCoreApplication::processEvents();
    }
}

}  // namespace
}  // namespace vqd::gui_test

int main(int argc, char** argv) { return vqd::gui_test::run_all(argc, argv, "xcb"); }
