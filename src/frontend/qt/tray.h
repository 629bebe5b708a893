// The tray icon on Linux: Qt's system tray, which docks into any XEmbed or
// StatusNotifier notification area. It draws what the program decides (the
// picture, the tooltip, the menu's entries) and reports clicks; where the
// desktop has no notification area, show() says so and nothing appears.
#pragma once

#include "platform/desktop.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <string>

namespace vqd::qt {

class TrayIcon final : public vqd::TrayIcon {
public:
    // The picture is the application's window icon (with a red dot for a cue).
    TrayIcon();
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool show(TrayPicture picture, const std::string& tooltip) override;
    void hide() override;
    bool shown() const override { return icon_.isVisible(); }
    void popup_menu(int x, int y) override;

    // The icon's own message beside it: where no notification service
    // answers, notifications show here while the icon is shown.
    void show_message(const std::string& summary, const std::string& body);

    QSystemTrayIcon& icon() { return icon_; }
    // The menu the icon and popup_menu() show, rebuilt from `menu` each time it opens.
    QMenu& menu_widget() { return menu_; }

private:
    void rebuild_menu();
    bool area_available();

    QSystemTrayIcon icon_;
    QMenu menu_;
    QIcon plain_, cued_;
    TrayPicture picture_ = TrayPicture::Plain;
    bool area_seen_ = false;
    // Whether a notification area exists, as last asked; asked again only
    // after the X server said the area's window came or went.
    bool area_ = false;
    bool area_known_ = false;
    QMetaObject::Connection area_watch_;
    QTimer area_changed_;
};

}  // namespace vqd::qt
