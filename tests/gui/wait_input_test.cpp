// Input while a handler waits, through the real driver on Qt's event loop:
// events are posted to Qt's queue from timers that fire inside a poll's wait,
// reach the widgets there, and run after the waiting handler, before the
// ticks it held. A modal settings window shows the main window's failures
// and survives the session's end; a termination signal closes the windows
// the normal way.
#include "gui_support.h"

#include "frontend/qt/session_end.h"
#include "platform/posix/posix_session_signals.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace vqd::gui_test {
namespace {

class WaitInputTest : public GuiTest {
protected:
    // A press and a release on Qt's event queue, as a mouse would leave them.
    static void post_click(QWidget* w) {
        const QPointF local = QRectF(w->rect()).center();
        const QPointF global = w->mapToGlobal(local);
        QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                                       Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                                       Qt::NoButton, Qt::NoModifier));
    }
    void configure_polls() {
        store("AlwaysOnTopTimer_TICKBOX", "0");
        store("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.BAT");
        store("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.LOG");
        store("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "/work/DAZ-ER-GCC.BAT");
        store("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "/work/DAZ-ER-GCC.LOG");
        platform.runner.on_run = [this](const std::string& line) {
            if (line == "/work/DAZ-ER-GBC.BAT") platform.files.content["/work/DAZ-ER-GBC.LOG"] = "4711\r\n";
            if (line == "/work/DAZ-ER-GCC.BAT") platform.files.content["/work/DAZ-ER-GCC.LOG"] = "8\r\n";
        };
    }
};

TEST_F(WaitInputTest, ATickAndACloseDuringAPollRunRightAfterItAndTheHeldPollNeverRuns) {
    configure_polls();
    start();
    auto* gcc_option = static_cast<QCheckBox*>(widget("CLI_GCC_BAT_TICKBOX"));
    bool option_shown_during_wait = true;
    // Both polls requested; the block-count poll runs first and holds the
    // connection-count poll for its seven seconds. The process watcher's
    // first tick gives the two buttons their Enabled state.
    ASSERT_TRUE(wait_until([&] { return widget("GETBLOCKCOUNT_BUTTON")->isEnabled(); }));
    QTest::mouseClick(widget("GETBLOCKCOUNT_BUTTON"), Qt::LeftButton);
    QTest::mouseClick(widget("GETCONNECTIONCOUNT_BUTTON"), Qt::LeftButton);
    QTimer::singleShot(2000, [&] { post_click(gcc_option); });
    QTimer::singleShot(3000, [&] {
        option_shown_during_wait = gcc_option->isChecked();
        QCoreApplication::postEvent(view->window(), new QCloseEvent);
    });
    ASSERT_TRUE(wait_until([&] { return main->closed(); }, 15000));
    EXPECT_TRUE(main_closed_seen);
    EXPECT_FALSE(option_shown_during_wait) << "the tick box showed a click the model had not taken yet";
    ASSERT_EQ(platform.runner.runs.size(), 1u);
    EXPECT_EQ(platform.runner.runs[0].line, "/work/DAZ-ER-GBC.BAT");
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "CLI_GCC_BAT_TICKBOX"), "1") << "the tick ran before the close";
}

TEST_F(WaitInputTest, TheSettingsWindowShowsAFailureOfItsOwnHandlers) {
    store("AlwaysOnTopTimer_TICKBOX", "0");
    store("VQ_CLI_UI_LOCATION_TEXTBOX", "/no/such/folder");
    start();
    ASSERT_TRUE(open_settings());
    for (const char* name : {"DAZ-ER-STOP.BAT", "DAZ-ER-GBC.BAT", "DAZ-ER-GCC.BAT"})
        for (const char* sep : {"/", "\\"}) platform.files.unwritable.insert(std::string("/no/such/folder") + sep + name);
    QLabel* strip = view->modal_child()->status_strip();
    EXPECT_TRUE(strip->isHidden());
    click(settings_widget("SAVE_BATS_BUTTON"));
    ASSERT_TRUE(wait_until([&] { return strip->isVisible(); }));
    EXPECT_EQ(strip->text().toStdString().rfind("SAVE_BATS_BUTTON_Click failed: ", 0), 0u) << strip->text().toStdString();
    // The strip sits under the controls: the window grew by its height.
    EXPECT_GE(strip->geometry().top(), view->modal_child()->canvas()->geometry().bottom());
    EXPECT_EQ(view->status_strip()->text(), strip->text());
}

TEST_F(WaitInputTest, ATerminationSignalClosesTheSettingsAsCancelledAndSavesTheMainWindow) {
    store("AlwaysOnTopTimer_TICKBOX", "0");
    SessionSignals session_signals;
    start();
    qt::SessionEnd session_end(*main, session_signals.fd(), [&] { session_signals.take(); }, [&] { driver.run_now(); });
    ASSERT_TRUE(open_settings());
    platform.store.writes.clear();
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(wait_until([&] { return main->closed(); }));
    EXPECT_TRUE(main_closed_seen);
    EXPECT_EQ(platform.store.writes,
              (std::vector<std::string>{"SETTINGS-Left", "SETTINGS-Top", "MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX",
                                        "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX",
                                        "AUTOCLOSE_TIMER_TICKBOX"}));
}

}  // namespace
}  // namespace vqd::gui_test
