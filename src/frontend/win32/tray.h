// The tray icon on Windows: the shell's notification icon. Where the shell
// has no notification area, adding the icon fails and nothing else changes.
//
// A hidden window of its own receives the icon's messages: a left click shows
// or hides the main window, a right click opens the monitor's menu (whose
// items post clicks to the main window's own buttons). Every second the icon,
// its tooltip and its picture (the warning sign while a cue is raised) are
// brought in step with the monitor; cue changes come as balloon messages.
// The main window's title band gets the same menu on a right click, and the
// Extras window is drawn with the generic view.
#pragma once

#include "frontend/win32/fonts.h"
#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/window_view.h"
#include "windows/extras_monitor.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

namespace vqd::win32ui {

class Tray {
public:
    Tray(ExtrasMonitor& monitor, WindowView& main_view, SchedulerDriver& driver, FontCache& fonts);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // The hidden window that receives the icon's messages.
    HWND hwnd() const { return hwnd_; }
    // Whether the shell took the icon.
    bool shown() const { return shown_; }
    const std::wstring& tooltip() const { return tooltip_; }
    WindowView* extras_view() const { return extras_view_.get(); }

    void refresh();
    void toggle_main_window();
    // The menu at a screen point; returns after the user chose or dismissed it.
    void popup_menu(POINT at);

    static constexpr UINT kIconMessage = WM_APP + 40;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK main_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                          DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    NOTIFYICONDATAW data(UINT flags) const;
    void show_extras(ExtrasWindow& window);

    ExtrasMonitor& monitor_;
    WindowView& main_view_;
    SchedulerDriver& driver_;
    FontCache& fonts_;
    HWND hwnd_ = nullptr;
    HICON plain_ = nullptr;
    HICON cued_ = nullptr;
    bool shown_ = false;
    bool showing_cue_ = false;
    std::wstring tooltip_;
    UINT taskbar_created_ = 0;
    std::unique_ptr<WindowView> extras_view_;
    std::unique_ptr<WindowView> retired_;
};

}  // namespace vqd::win32ui
