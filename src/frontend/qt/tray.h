// The tray icon on Linux: Qt's system tray, which docks into any XEmbed or
// StatusNotifier notification area. Where the desktop has none, the icon
// never shows and the program looks and works as it would without it.
//
// It shows and hides the main window, offers the monitor's menu (whose items
// post clicks to the main window's own buttons), carries the health cues on
// its picture and tooltip, and shows each cue change as the tray's message.
// It also gives the main window's title band a context menu with the same
// items, and draws the Extras window with the generic view.
#pragma once

#include "frontend/qt/window_view.h"
#include "windows/extras_monitor.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

namespace vqd::qt {

class Tray {
public:
    Tray(ExtrasMonitor& monitor, WindowView& main_view);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    QSystemTrayIcon& icon() { return icon_; }
    // The menu the icon and the title band show, rebuilt each time it opens.
    QMenu& menu() { return menu_; }
    // The Extras window's view while it is open, else nullptr.
    WindowView* extras_view() const { return extras_view_.get(); }
    // Brings the icon, its picture and its tooltip in step with the monitor.
    void refresh();
    void toggle_main_window();

private:
    void rebuild_menu();
    void show_extras(ExtrasWindow& window);
    void title_band_menu(const QPoint& at);

    ExtrasMonitor& monitor_;
    WindowView& main_view_;
    QSystemTrayIcon icon_;
    QMenu menu_;
    QIcon plain_, cued_;
    bool showing_cue_ = false;
    QTimer refresh_timer_;
    std::unique_ptr<WindowView> extras_view_;
};

}  // namespace vqd::qt
