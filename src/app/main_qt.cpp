// The Linux desktop program: the main window's load handling runs first,
// then the window is shown and the scheduler's timers start ticking on Qt's
// event loop. The program ends when the main window closes, by the user, by
// Auto Close, or because the session ends (logout, SIGTERM, SIGINT, SIGHUP),
// which closes it the same way. It takes no command-line arguments; the name
// it was started under names its configuration.
#include "frontend/qt/dbus_notifier.h"
#include "frontend/qt/display_platform.h"
#include "frontend/qt/qt_topmost.h"
#include "frontend/qt/realtime.h"
#include "frontend/qt/session_end.h"
#include "frontend/qt/tray.h"
#include "frontend/qt/view_host.h"
#include "frontend/qt/window_view.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/posix_session_signals.h"
#include "platform/posix/posix_start_at_login.h"
#include "windows/extras_monitor.h"
#include "windows/extras_window.h"
#include "windows/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>

#include <csignal>
#include <cstdio>
#ifdef VQD_TEST_SEAMS
#include <cstdlib>
#endif

namespace {

std::optional<std::string> env(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qEnvironmentVariable(name).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string invoked_as = argc > 0 ? argv[0] : "";
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit fails the write (reported), it does not kill the program
    // Placement and Always On Top need X11; see display_platform.h.
    if (const auto platform = vqd::qt::platform_to_ask_for({env("QT_QPA_PLATFORM"), env("WAYLAND_DISPLAY"), env("DISPLAY")}))
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    // From here on a termination signal waits for the event loop to close the
    // window properly instead of ending the program on the spot.
    vqd::SessionSignals session_signals;

    QApplication app(argc, argv);
    // Fusion draws every colour the windows ask for; native styles may not.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vqd/VQ-DAZ-ER.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("VQ-DAZ-ER"));
    // The model decides when the program ends, not the last window Qt sees go.
    QApplication::setQuitOnLastWindowClosed(false);

    vqd::PosixPlatform platform(invoked_as);
    if (vqd::qt::placement_unavailable(QGuiApplication::platformName().toStdString())) {
        const std::string message = vqd::qt::placement_unavailable_message();
        platform.errors.record(message);
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    vqd::qt::QtClock clock;
    vqd::Scheduler scheduler(clock);
    vqd::qt::QtTopmost topmost;
    const vqd::Services base = platform.services();
    const vqd::Services services{base.store, base.executable, base.runner, base.processes,
                                 base.files, topmost,         base.errors, base.conventions};

    vqd::MainWindow main_window(scheduler, services);
    main_window.start();
    // The desktop around the program; the additions decide what it shows.
    vqd::qt::TrayIcon tray_icon;
    vqd::qt::DBusNotifier notifier(base.executable.name(), "VQ-DAZ-ER",
                                   [&](const std::string& summary, const std::string& body) {
                                       tray_icon.show_message(summary, body);
                                   });
    vqd::PosixStartAtLogin start_at_login(base.executable.name(), vqd::started_program_path(argc > 0 ? argv[0] : nullptr));
    vqd::ExtrasMonitor extras(scheduler, services, {tray_icon, notifier, start_at_login}, main_window);
    extras.start();
#ifdef VQD_TEST_SEAMS
    // Soak builds only: a shorter poll loop, so that minutes see many loops.
    if (const char* loop_ms = std::getenv("VQD_TEST_LOOP_MS"))
        main_window["GET_LOOP_TIMER"].set_interval(std::atoi(loop_ms));
#endif

    vqd::qt::SchedulerDriver driver(scheduler);
    vqd::qt::WindowView view(main_window);
    const QString status_hint =
        QStringLiteral("Every failure is also written to ") + QString::fromStdString(platform.errors.location());
    view.set_status_hint(status_hint);
    // The Extras window, when the tray's menu opens it.
    vqd::qt::ViewHost windows(scheduler);
    windows.set_status_hint(status_hint);
    extras.on_extras_opened = [&](vqd::ExtrasWindow& window) { windows.open(window); };
    view.on_closed = [] { QCoreApplication::exit(0); };
    if (main_window.closed()) return 0;
    vqd::qt::SessionEnd session_end(main_window, session_signals.fd(), [&] { session_signals.take(); },
                                    [&] { driver.run_now(); });
    view.show();
    driver.arm();
    const int status = QApplication::exec();
    // Qt itself may end the loop (the session manager's last word): the
    // window still closes the normal way, so nothing the close saves is lost.
    if (!main_window.closed())
        scheduler.run_handler(main_window, nullptr, main_window.close_event(), [&] { main_window.close(); });
    return status;
}
