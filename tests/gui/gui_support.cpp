#include "gui_support.h"

#include "gtest_exit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

namespace vqd::gui_test {

int run_all(int argc, char** argv, const char* default_platform) {
    ::testing::InitGoogleTest(&argc, argv);
    // Never the developer's desktop or settings, unless a platform is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", default_platform);
    QTemporaryDir runtime, config;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setQuitOnLastWindowClosed(false);
    return vqd::test::program_result(RUN_ALL_TESTS());
}

QString shot_path(const QString& file_name) {
    QDir().mkpath(QStringLiteral(VQD_SHOT_DIR));
    return QStringLiteral(VQD_SHOT_DIR) + QLatin1Char('/') + file_name;
}

bool wait_until(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeout_ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(2);
    }
    return true;
}

std::string shown_text(const QWidget* w) {
    QString s;
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) s = b->text();
    else if (auto* l = qobject_cast<const QLabel*>(w)) s = l->text();
    else if (auto* e = qobject_cast<const QLineEdit*>(w)) s = e->text();
    else if (auto* p = qobject_cast<const QPlainTextEdit*>(w)) s = p->toPlainText();
    if (qobject_cast<const QAbstractButton*>(w)) s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s.toStdString();
}

void GuiTest::start() {
    const Services base = platform.services();
    const Services services{base.store, base.executable, base.runner, base.processes,
                            base.files, real_topmost ? static_cast<Topmost&>(qt_topmost) : base.topmost,
                            base.errors, base.conventions};
    main = std::make_unique<MainWindow>(scheduler, services);
    main->start();
    view = std::make_unique<qt::WindowView>(*main);
    view->on_closed = [this] { main_closed_seen = true; };
    view->show();
    driver.arm();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
}

void GuiTest::TearDown() {
    view.reset();
    main.reset();
    // Views of closed windows go on the next turn of the event loop.
    QCoreApplication::processEvents();
}

QWidget* GuiTest::widget(const char* control) const { return view->widget(control); }

QWidget* GuiTest::settings_widget(const char* control) const {
    return view->modal_child() ? view->modal_child()->widget(control) : nullptr;
}

void GuiTest::click(QWidget* w) {
    // QAbstractButton::click() is what a mouse release on it does, minus the
    // event loop: nothing else gets to run in between.
    auto* button = qobject_cast<QAbstractButton*>(w);
    ASSERT_NE(button, nullptr);
    button->click();
}

bool GuiTest::open_settings() {
    click(widget("SETTINGS_BUTTON"));
    return wait_until([this] { return view->modal_child() && view->modal_child()->window()->isVisible(); });
}

QImage GuiTest::grab(QWidget* window) { return window->grab().toImage(); }

std::vector<std::string> GuiTest::stop_during_settling(const std::function<void(QWidget*)>& click_stop) {
    store("CLI_GBC_BAT_TICKBOX", "1");
    store("CLI_GCC_BAT_TICKBOX", "1");
    store("AlwaysOnTopTimer_TICKBOX", "0");
    store("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.BAT");
    store("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "/work/DAZ-ER-GBC.LOG");
    store("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "/work/DAZ-ER-GCC.BAT");
    store("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "/work/DAZ-ER-GCC.LOG");
    std::vector<std::string> seen;
    platform.runner.on_run = [&](const std::string& line) {
        if (line == "/work/DAZ-ER-GBC.BAT") platform.files.content["/work/DAZ-ER-GBC.LOG"] = "4711\r\n";
        if (line == "/work/DAZ-ER-GCC.BAT") {
            platform.files.content["/work/DAZ-ER-GCC.LOG"] = "8\r\n";
            seen.push_back("connection batch");
        }
    };
    start();
    if (::testing::Test::HasFatalFailure()) return seen;
    bool settled = false;
    const int id = main->observe([&](const Change& ch) {
        if (!ch.control) return;
        const std::string& name = ch.control->name();
        if (name == "START_STOP_BUTTON" && ch.prop == Prop::Caption) seen.push_back("caption " + ch.control->caption());
        if (ch.prop == Prop::Enabled && !ch.control->enabled()) {
            if (name == "GETBLOCKCOUNT_COMMAND_TIMER") seen.push_back("block poll over");
            if (name == "GETCONNECTIONCOUNT_COMMAND_TIMER") seen.push_back("connection poll over");
            if (name == "UNLOAD_TIMER") settled = true;
        }
    });
    QTest::mouseClick(widget("START_STOP_BUTTON"), Qt::LeftButton);
    if ((*main)["START_STOP_BUTTON"].caption() != "STOP") wait_until([&] { return !seen.empty(); });
    seen.clear();  // from here on: what follows STOP
    QTimer::singleShot(13500, [&] { click_stop(widget("START_STOP_BUTTON")); });
    wait_until([&] { return settled; }, 40000);
    QTest::qWait(300);  // anything else the click set off would show by now
    main->unobserve(id);
    return seen;
}

}  // namespace vqd::gui_test
