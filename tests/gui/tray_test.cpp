// The tray icon and the Extras window through the Qt front end. Under Xvfb
// the test starts trayer, a real XEmbed notification area, and clicks the
// icon and the title band with xdotool; on the offscreen platform there is
// no notification area, and the icon must then stay away.
#include "gui_support.h"

#include "extras/extras_options.h"
#include "platform/fake/fake_desktop.h"
#include "frontend/qt/tray.h"
#include "windows/extras_window.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

namespace vqd::gui_test {
namespace {

bool under_x() { return QGuiApplication::platformName() == "xcb"; }

void xdotool_click(QPoint p, int button = 1) {
    QProcess::execute("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                                  QString::number(button)});
}

class TrayTest : public GuiTest {
protected:
    fake::Desktop desktop;
    std::unique_ptr<ExtrasMonitor> monitor;
    std::unique_ptr<qt::Tray> tray;
    static inline QProcess* trayer = nullptr;

    static void SetUpTestSuite() {
        QApplication::setWindowIcon(QIcon(QStringLiteral(VQD_DATA_DIR "/VQ-DAZ-ER.png")));
        if (!under_x()) return;
        trayer = new QProcess;
        trayer->start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32",
                                 "--SetDockType", "false"});
        trayer->waitForStarted();
    }
    static void TearDownTestSuite() {
        if (!trayer) return;
        trayer->kill();
        trayer->waitForFinished();
        delete trayer;
        trayer = nullptr;
    }

    void start_with_tray() {
        platform.runner.on_run = [this](const std::string& line) {
            if (line == "gbc") platform.files.content["gbc.log"] = "812345\n";
            if (line == "gcc") platform.files.content["gcc.log"] = "0\n";
        };
        store("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "gbc");
        store("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "gcc");
        store("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "gbc.log");
        store("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "gcc.log");
        start();
        monitor = std::make_unique<ExtrasMonitor>(scheduler, platform.services(), desktop.services(), *main);
        monitor->start();
        tray = std::make_unique<qt::Tray>(*monitor, *view);
    }
    // Docked: trayer has reparented the icon into its panel at the screen's right edge.
    bool docked() {
        return wait_until([this] { return tray->icon().isVisible() && tray->icon().geometry().x() > 0; }, 5000);
    }
    QAction* action(const QString& text) {
        emit tray->menu().aboutToShow();
        for (QAction* a : tray->menu().actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    static bool balloon_shown() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "QBalloonTip" && w->isVisible()) return true;
        return false;
    }
    void TearDown() override {
        tray.reset();
        monitor.reset();
        GuiTest::TearDown();
    }
};

TEST_F(TrayTest, WithoutANotificationAreaNothingShowsAndTheMainWindowIsAsBefore) {
    if (under_x()) GTEST_SKIP() << "a notification area runs here";
    start_with_tray();
    QTest::qWait(1200);
    EXPECT_FALSE(tray->icon().isVisible());
    EXPECT_TRUE(view->window()->isVisible());
}

TEST_F(TrayTest, TheIconDocksShowsTheCountsAndTogglesTheMainWindow) {
    if (!under_x()) GTEST_SKIP() << "needs an X server and trayer";
    start_with_tray();
    ASSERT_TRUE(docked());
    EXPECT_EQ(tray->icon().toolTip().toStdString(), monitor->tooltip());
    EXPECT_NE(tray->icon().toolTip().indexOf("Block not read yet"), -1);

    const QPoint centre = tray->icon().geometry().center();
    xdotool_click(centre);
    EXPECT_TRUE(wait_until([this] { return !view->window()->isVisible(); }));
    // The always-on-top timer ticks meanwhile: it must not bring the window back.
    QTest::qWait(1500);
    EXPECT_FALSE(view->window()->isVisible());
    xdotool_click(centre);
    EXPECT_TRUE(wait_until([this] { return view->window()->isVisible(); }));
}

TEST_F(TrayTest, MenuItemsFollowTheButtonsAndACueShowsOnTheIconAndAsAMessage) {
    if (!under_x()) GTEST_SKIP() << "needs an X server and trayer";
    store(std::string(kHealthCuesKey), "1");
    start_with_tray();
    ASSERT_TRUE(docked());
    // No option ticked: the load disables the poll buttons until the watcher's first look.
    ASSERT_TRUE(wait_until([this] { return action("G-C-C") && action("G-C-C")->isEnabled(); }));
    EXPECT_EQ(action("START")->isEnabled(), (*main)["START_STOP_BUTTON"].enabled());
    action("G-C-C")->trigger();
    // The poll reads "0" about seven seconds later; the cue follows at the monitor's next tick.
    ASSERT_TRUE(wait_until([this] { return monitor->cue_raised(); }, 12000));
    EXPECT_TRUE(wait_until([] { return balloon_shown(); }, 3000));
    EXPECT_TRUE(wait_until([this] { return tray->icon().toolTip().contains("NO PEERS"); }, 2000));
    EXPECT_EQ((*main)["CONNECTIONS_TEXTBOX"].text(), "0\n");
    // Hovering shows the tooltip beside the message: the README's picture.
    const QPoint centre = tray->icon().geometry().center();
    QProcess::execute("xdotool", {"mousemove", QString::number(centre.x()), QString::number(centre.y() + 2)});
    QTest::qWait(1500);
    QScreen* screen = QGuiApplication::primaryScreen();
    screen->grabWindow(0, screen->geometry().width() - 480, 0, 480, 200).save(shot_path("tray-tooltip.png"));
}

TEST_F(TrayTest, TheTitleBandOpensTheExtrasWindowWhichSavesItsOptions) {
    if (!under_x()) GTEST_SKIP() << "needs an X server and trayer";
    start_with_tray();
    QWidget* title = view->widget("VQ_CLI_UI_TITLE");
    xdotool_click(title->mapToGlobal(title->rect().center()), 3);
    ASSERT_TRUE(wait_until([this] { return tray->menu().isVisible(); }));
    tray->menu().hide();
    // Below the title band, the canvas offers no menu.
    QWidget* block = view->widget("CURRENT_BLOCK_LABEL");
    xdotool_click(block->mapToGlobal(block->rect().center()), 3);
    QTest::qWait(300);
    EXPECT_FALSE(tray->menu().isVisible());

    action("Extras...")->trigger();
    ASSERT_TRUE(wait_until([this] { return tray->extras_view() && tray->extras_view()->window()->isVisible(); }));
    qt::WindowView& extras = *tray->extras_view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(extras.window()));
    QTest::qWait(300);
    extras.window()->grab().save(shot_path("extras-window.png"));
    qobject_cast<QAbstractButton*>(extras.widget("TRAY_ICON_OFF_TICKBOX"))->click();
    qobject_cast<QAbstractButton*>(extras.widget("SAVE_BUTTON"))->click();
    ASSERT_TRUE(wait_until([this] { return !tray->extras_view(); }));
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", std::string(kTrayIconOffKey)), "1");
    EXPECT_TRUE(wait_until([this] { return !tray->icon().isVisible(); }));
}

}  // namespace
}  // namespace vqd::gui_test
