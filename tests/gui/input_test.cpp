// Input through the widgets: clicks and edits reach the handlers through the
// scheduler, tick boxes show only what the model decides, the settings window
// is modal and owned, closing goes through the model, and errors show in a
// strip that covers nothing.
#include "gui_support.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace vqd::gui_test {
namespace {

class InputTest : public GuiTest {};

TEST_F(InputTest, StartAndGbcButtonsDriveTheModel) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    QTest::mouseClick(widget("GETBLOCKCOUNT_BUTTON"), Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return (*main)["CURRENT_BLOCK_TEXTBOX"].back_colour() == colours::queued_pink; }));
    EXPECT_TRUE((*main)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());
    QWidget* box = widget("CURRENT_BLOCK_TEXTBOX");
    EXPECT_EQ(grab(view->window()).pixelColor(box->geometry().bottomRight() - QPoint(4, 4)), QColor(0xFF, 0x80, 0xFF));

    QTest::mouseClick(widget("START_STOP_BUTTON"), Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return (*main)["START_STOP_BUTTON"].caption() == "STOP"; }));
    EXPECT_EQ(shown_text(widget("START_STOP_BUTTON")), "STOP");
    EXPECT_FALSE(widget("SETTINGS_BUTTON")->isEnabled());
    EXPECT_FALSE(widget("CLI_GBC_BAT_TICKBOX")->isEnabled());
    EXPECT_TRUE((*main)["COUNTDOWN_TIMER"].enabled());
}

TEST_F(InputTest, TickBoxShowsOnlyWhatTheModelDecides) {
    start();  // no option stored: the three option tick boxes are enabled
    auto* gbc = static_cast<QCheckBox*>(widget("CLI_GBC_BAT_TICKBOX"));
    auto* stop = static_cast<QCheckBox*>(widget("CLI_STOP_BAT_TICKBOX"));
    int stop_changes = 0;
    QObject::connect(stop, &QCheckBox::stateChanged, [&] { ++stop_changes; });

    // Two clicks before the scheduler gets a turn: ticking Auto G-B-C locks
    // the auto-stop option, so the second click is refused when its turn comes.
    click(gbc);
    click(stop);
    EXPECT_FALSE(gbc->isChecked()) << "Qt toggled the tick box before the model decided";
    EXPECT_FALSE(stop->isChecked());

    ASSERT_TRUE(wait_until([&] { return (*main)["CLI_GBC_BAT_TICKBOX"].value() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(gbc->isChecked());
    EXPECT_EQ((*main)["CLI_STOP_BAT_TICKBOX"].value(), 0);
    EXPECT_FALSE(stop->isChecked());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_EQ(stop_changes, 0) << "the refused tick box flickered";

    // A click the model takes: Auto Start became usable with the option.
    QTest::mouseClick(widget("AUTOSTART_TICKBOX"), Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return (*main)["AUTOSTART_TICKBOX"].value() == 1; }));
    EXPECT_TRUE(static_cast<QCheckBox*>(widget("AUTOSTART_TICKBOX"))->isChecked());
    EXPECT_TRUE(widget("AUTOCLOSE_TIMER_TICKBOX")->isEnabled());
}

// An assistive tool's "Toggle" sets the state without a click: it must do
// what a click does, and a toggle the model drops must not stay on screen.
TEST_F(InputTest, AnAccessibilityToggleIsAClickAndTheModelStaysTheTruth) {
    start();
    const auto toggle = [](QWidget* w) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_TRUE(a && a->actionInterface());
        ASSERT_TRUE(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    auto* gbc = static_cast<QCheckBox*>(widget("CLI_GBC_BAT_TICKBOX"));
    toggle(gbc);
    ASSERT_TRUE(wait_until([&] { return (*main)["CLI_GBC_BAT_TICKBOX"].value() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(gbc->isChecked());
    EXPECT_FALSE(widget("CLI_STOP_BAT_TICKBOX")->isEnabled());  // the option's handler ran

    // While the settings window is open the main window drops its input.
    ASSERT_TRUE(open_settings());
    auto* autostart = static_cast<QCheckBox*>(widget("AUTOSTART_TICKBOX"));
    toggle(autostart);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ((*main)["AUTOSTART_TICKBOX"].value(), 0);
    EXPECT_FALSE(autostart->isChecked());
}

TEST_F(InputTest, SettingsWindowIsModalOwnedAndMainTimersGoOn) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    ASSERT_TRUE(open_settings());
    QWidget* settings = view->modal_child()->window();
    EXPECT_EQ(settings->windowModality(), Qt::WindowModal);
    EXPECT_EQ(settings->parentWidget(), view->window());
    EXPECT_TRUE(settings->isWindow());
    EXPECT_EQ(QApplication::activeModalWidget(), settings);
    EXPECT_EQ(settings->windowTitle(), "TARNWICK - VQ-DAZ-ER - SETTINGS");
    EXPECT_EQ(settings->focusWidget(), settings_widget("CLOSE_BUTTON"));

    // The main window takes no input, but its process watcher keeps ticking
    // and its display keeps updating.
    click(widget("START_STOP_BUTTON"));
    ASSERT_TRUE(wait_until([&] { return shown_text(widget("PROCESS_ACTIVE_LABEL")) == "!!! CLI NOT RUNNING !!!"; }));
    EXPECT_EQ((*main)["START_STOP_BUTTON"].caption(), "START");
}

TEST_F(InputTest, TypingInTheSettingsWindowReachesTheModelAndTheComposers) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    ASSERT_TRUE(open_settings());
    auto* folder = static_cast<QLineEdit*>(settings_widget("VQ_CLI_UI_LOCATION_TEXTBOX"));
    folder->setFocus();
    QTest::keyClicks(folder, "/srv/node one");
    SettingsWindow& s = *main->settings_window();
    ASSERT_TRUE(wait_until([&] { return s["VQ_CLI_UI_LOCATION_TEXTBOX"].text() == "/srv/node one"; }));
    EXPECT_EQ(folder->text(), "/srv/node one");
    // The composer's next tick shows the folder in the generated line.
    auto* display = static_cast<QPlainTextEdit*>(settings_widget("VQCLI_GBC_COMMAND_TEXTBOX"));
    ASSERT_TRUE(wait_until([&] { return display->toPlainText().contains("/srv/node one"); }));
    EXPECT_TRUE(display->isReadOnly());
}

TEST_F(InputTest, ClosingTheSettingsWindowRunsItsUnload) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    start();
    ASSERT_TRUE(open_settings());
    QPointer<QWidget> settings = view->modal_child()->window();
    QTest::qWait(MoveJudge::kPlacementMs + 100);  // a user's move comes after the placement
    settings->move(200, 120);
    QCoreApplication::processEvents();

    // The window's close button: Qt's own close is refused, the model closes it.
    EXPECT_FALSE(settings->close());
    ASSERT_TRUE(wait_until([&] { return main->settings_window() == nullptr; }));
    ASSERT_TRUE(wait_until([&] { return settings.isNull(); }));
    EXPECT_EQ(view->modal_child(), nullptr);
    const double ppt = view->pixels_per_twip();
    const auto left = platform.store.value("VQ-DAZ-ER", "SETTINGS-Left");
    ASSERT_TRUE(left.has_value());
    EXPECT_NEAR(std::stod(*left), 200 / ppt, 0.01);

    // Reopened, it starts again; its close command does the same.
    ASSERT_TRUE(open_settings());
    settings = view->modal_child()->window();
    click(settings_widget("CLOSE_BUTTON"));
    ASSERT_TRUE(wait_until([&] { return settings.isNull(); }));
    EXPECT_EQ(main->settings_window(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(InputTest, ClosingTheMainWindowGoesThroughItsUnload) {
    start();
    EXPECT_FALSE(view->window()->close());
    ASSERT_TRUE(wait_until([&] { return main_closed_seen; }));
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(view->window(), nullptr);
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainLeft"), "1000");
}

TEST_F(InputTest, ErrorsShowInAStripUnderTheBandAndGoWhenResolved) {
    store("CLI_NAME_TEXTBOX", "node-cli");
    start();
    const QSize before = view->window()->size();
    QLabel* strip = view->status_strip();
    EXPECT_FALSE(strip->isVisible());

    platform.processes.fail = true;  // the watcher's next tick fails
    ASSERT_TRUE(wait_until([&] { return strip->isVisible(); }));
    EXPECT_NE(strip->text().indexOf("the process list cannot be read"), -1);
    EXPECT_EQ(strip->geometry().top(), view->canvas()->height());
    EXPECT_EQ(view->window()->height(), before.height() + strip->height());
    for (const auto& c : main->controls()) {
        QWidget* w = view->widget(c->name());
        // What shows of a control is its part on the canvas; the strip lies below it.
        if (w && w->isVisibleTo(view->window()) && view->canvas()->rect().intersects(w->geometry())) {
            const QRect shown = view->canvas()->rect().intersected(w->geometry());
            EXPECT_LE(view->canvas()->mapTo(view->window(), shown.bottomLeft()).y(), strip->geometry().top() - 1)
                << c->name();
        }
    }
    EXPECT_FALSE(platform.errors.messages.empty());

    platform.processes.fail = false;
    ASSERT_TRUE(wait_until([&] { return !strip->isVisible(); }));
    EXPECT_EQ(view->window()->size(), before);
}

}  // namespace
}  // namespace vqd::gui_test
