// The tray icon and the Extras window through the Qt front end. Under Xvfb
// the test starts trayer, a real XEmbed notification area, and clicks the
// icon and the title band with xdotool; on the offscreen platform there is
// no notification area, and the icon must then stay away. What the menu
// holds and what a click means is the monitor's (tests/unit/extras_test.cpp);
// here the real icon, menu and windows carry it out.
#include "gui_support.h"

#include "extras/extras_options.h"
#include "frontend/qt/tray.h"
#include "frontend/qt/view_host.h"
#include "platform/fake/fake_desktop.h"
#include "windows/extras_monitor.h"
#include "windows/extras_window.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

namespace vqd::gui_test {
namespace {

bool under_x() { return QGuiApplication::platformName() == "xcb"; }

void xdotool_click(QPoint p, int button = 1) {
    QProcess::execute("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                                  QString::number(button)});
}

class TrayTest : public GuiTest {
protected:
    fake::Notifier notifier;
    fake::StartAtLogin start_at_login;
    std::unique_ptr<qt::TrayIcon> tray;
    std::unique_ptr<ExtrasMonitor> monitor;
    std::unique_ptr<qt::ViewHost> windows;
    static inline QProcess* trayer = nullptr;

    static void start_trayer() {
        trayer = new QProcess;
        trayer->start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32",
                                 "--SetDockType", "false"});
        trayer->waitForStarted();
    }
    static void stop_trayer() {
        if (!trayer) return;
        trayer->kill();
        trayer->waitForFinished();
        delete trayer;
        trayer = nullptr;
    }
    static void SetUpTestSuite() {
        QApplication::setWindowIcon(QIcon(QStringLiteral(VQD_DATA_DIR "/VQ-DAZ-ER.png")));
        if (under_x()) start_trayer();
    }
    static void TearDownTestSuite() { stop_trayer(); }

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
        tray = std::make_unique<qt::TrayIcon>();
        monitor = std::make_unique<ExtrasMonitor>(scheduler, platform.services(),
                                                  Desktop{*tray, notifier, start_at_login}, *main);
        windows = std::make_unique<qt::ViewHost>(scheduler);
        monitor->on_extras_opened = [this](ExtrasWindow& w) { windows->open(w); };
        monitor->start();
    }
    // Docked: the icon's window sits inside trayer's panel, at the screen's right edge.
    bool docked(int timeout_ms = 5000) {
        return wait_until(
            [this] { return tray->icon().isVisible() && tray->icon().geometry().x() > 0 && icon_in_panel(); },
            timeout_ms);
    }
    // trayer's panel has a window of its own and one socket per docked icon.
    static bool icon_in_panel() {
        QProcess p;
        p.start("xwininfo", {"-root", "-tree"});
        p.waitForFinished();
        const QString tree = QString::fromUtf8(p.readAllStandardOutput());
        const int panel = tree.indexOf("\"panel\": (\"panel\" \"trayer\")");
        if (panel < 0) return false;
        const auto children = QRegularExpression("(\\d+) child").match(tree, panel);
        return children.hasMatch() && children.captured(1).toInt() >= 2;
    }
    QAction* action(const QString& text) {
        emit tray->menu_widget().aboutToShow();
        for (QAction* a : tray->menu_widget().actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    void TearDown() override {
        windows.reset();
        monitor.reset();
        tray.reset();
        GuiTest::TearDown();
    }
};

TEST_F(TrayTest, WithoutANotificationAreaNothingShowsAndTheMainWindowIsAsBefore) {
    if (under_x()) GTEST_SKIP() << "a notification area runs here";
    start_with_tray();
    QTest::qWait(1200);
    EXPECT_FALSE(tray->icon().isVisible());
    EXPECT_FALSE(tray->shown());
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
    EXPECT_TRUE(main->hidden());
    // The always-on-top timer ticks meanwhile: it must not bring the window back.
    QTest::qWait(1500);
    EXPECT_FALSE(view->window()->isVisible());
    EXPECT_NE(action("Show"), nullptr);
    xdotool_click(centre);
    EXPECT_TRUE(wait_until([this] { return view->window()->isVisible(); }));
    EXPECT_NE(action("Hide"), nullptr);
}

TEST_F(TrayTest, MenuItemsFollowTheButtonsAndACueShowsOnTheIcon) {
    if (!under_x()) GTEST_SKIP() << "needs an X server and trayer";
    store(std::string(kHealthCuesKey), "1");
    start_with_tray();
    ASSERT_TRUE(docked());
    // No option ticked: the load disables the poll buttons until the watcher's first look.
    ASSERT_TRUE(wait_until([this] { return action("G-C-C") && action("G-C-C")->isEnabled(); }));
    EXPECT_EQ(action("START")->isEnabled(), (*main)["START_STOP_BUTTON"].enabled());
    // The separators the monitor asks for are drawn where it puts them.
    QStringList drawn;
    for (QAction* a : tray->menu_widget().actions()) drawn << (a->isSeparator() ? QString() : a->text());
    EXPECT_EQ(drawn, (QStringList{"Hide", "", "G-B-C", "G-C-C", "START", "Extras...", "", "Quit"}));
    action("G-C-C")->trigger();
    // The poll reads "0" about seven seconds later; the cue follows at the monitor's next tick.
    ASSERT_TRUE(wait_until([this] { return monitor->cue_raised(); }, 12000));
    EXPECT_TRUE(wait_until([this] { return tray->icon().toolTip().contains("NO PEERS"); }, 2000));
    EXPECT_EQ((*main)["CONNECTIONS_TEXTBOX"].text(), "0\n");
    // The icon's own message, where no notification service answers.
    tray->show_message("No peers", "The node reports 0 connections");
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
    ASSERT_TRUE(wait_until([this] { return tray->menu_widget().isVisible(); }));
    tray->menu_widget().hide();
    // Below the title band, the canvas offers no menu.
    QWidget* block = view->widget("CURRENT_BLOCK_LABEL");
    xdotool_click(block->mapToGlobal(block->rect().center()), 3);
    QTest::qWait(300);
    EXPECT_FALSE(tray->menu_widget().isVisible());

    action("Extras...")->trigger();
    auto extras_view = [this]() -> qt::WindowView* {
        ExtrasWindow* w = monitor->extras_window();
        return w ? windows->view_of(*w) : nullptr;
    };
    ASSERT_TRUE(wait_until([&] { return extras_view() && extras_view()->window()->isVisible(); }));
    qt::WindowView& extras = *extras_view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(extras.window()));
    QTest::qWait(300);
    extras.window()->grab().save(shot_path("extras-window.png"));
    qobject_cast<QAbstractButton*>(extras.widget("TRAY_ICON_OFF_TICKBOX"))->click();
    qobject_cast<QAbstractButton*>(extras.widget("SAVE_BUTTON"))->click();
    ASSERT_TRUE(wait_until([&] { return !extras_view(); }));
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", std::string(kTrayIconOffKey)), "1");
    EXPECT_TRUE(wait_until([this] { return !tray->icon().isVisible(); }));
}

TEST_F(TrayTest, TheIconComesBackWhenTheNotificationAreaRestarts) {
    if (!under_x()) GTEST_SKIP() << "needs an X server and trayer";
    start_with_tray();
    ASSERT_TRUE(docked());
    stop_trayer();
    ASSERT_TRUE(wait_until([] { return !icon_in_panel(); }));
    start_trayer();
    QElapsedTimer since;
    since.start();
    // The monitor's next tick (at most a second) finds the area again.
    EXPECT_TRUE(docked(3000));
    std::printf("docked again %lld ms after trayer restarted\n", static_cast<long long>(since.elapsed()));
    EXPECT_EQ(tray->icon().toolTip().toStdString(), monitor->tooltip());
}

}  // namespace
}  // namespace vqd::gui_test
