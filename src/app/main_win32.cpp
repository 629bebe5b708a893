// The Windows program: the main window's model on the real platform services,
// its load handling run before anything is shown, then the native window and
// the message loop, which ends when the main window has closed.
#include "frontend/win32/dpi.h"
#include "frontend/win32/fonts.h"
#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/tray.h"
#include "frontend/win32/view_host.h"
#include "frontend/win32/window_view.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_start_at_login.h"
#include "platform/win32/win32_text.h"
#include "windows/extras_monitor.h"
#include "windows/extras_window.h"
#include "windows/main_window.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    vqd::win32ui::declare_per_monitor_dpi_awareness();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    vqd::Win32Platform platform;
    platform.clock.set_dispatcher(vqd::win32ui::dispatch_message);
    vqd::Scheduler scheduler(platform.clock);
    vqd::MainWindow main_window(scheduler, platform.services());
    main_window.start();
    // The desktop around the program; the additions decide what it shows.
    // The icon goes in (at the monitor's start) before the window shows: a
    // notification area that appears for it (Wine's own, without a desktop)
    // must not take the activation from the main window.
    vqd::win32ui::TrayIcon tray_icon;
    vqd::win32ui::BalloonNotifier notifier(tray_icon);
    vqd::Win32StartAtLogin start_at_login(vqd::win32::widen(platform.executable.name()),
                                          vqd::win32::widen(vqd::Win32ExecutableName::module_path()));
    vqd::ExtrasMonitor extras(scheduler, platform.services(), {tray_icon, notifier, start_at_login}, main_window);
    extras.start();

    vqd::win32ui::SchedulerDriver driver(scheduler);
    vqd::win32ui::FontCache fonts;
    vqd::win32ui::WindowView view(main_window, nullptr, driver, fonts);
    view.on_closed = [] { PostQuitMessage(0); };
    // The Extras window, when the tray's menu opens it.
    vqd::win32ui::ViewHost windows(driver, fonts);
    extras.on_extras_opened = [&](vqd::ExtrasWindow& window) { windows.open(window); };
    view.show();
    driver.drive();
    return vqd::win32ui::run_message_loop();
}
