// The desktop around the program: its icon in the notification area, the
// desktop's own notifications, and starting with the user's session. The
// windows layer decides everything these show (which icon, which menu, what
// a click means, what is announced and when); an implementation only draws
// and reports. Each front end has one, and tests use the fakes in
// platform/fake/fake_desktop.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vqd {

// One row of the icon's menu. An entry without a caption is a separator.
struct MenuEntry {
    std::string caption;
    bool enabled = true;
    std::function<void()> chosen;
};

enum class TrayPicture { Plain, Cue };

// How the user clicked the icon itself (the menu is the implementation's to
// open, from TrayIcon::menu).
enum class TrayClick { Primary, Double };

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // Shows the icon, or brings the shown one in step. Where no notification
    // area takes it, it stays hidden and false is returned; the next call
    // tries again, so an area that appears (or comes back) later gets it.
    virtual bool show(TrayPicture picture, const std::string& tooltip) = 0;
    virtual void hide() = 0;
    virtual bool shown() const = 0;
    // Opens the menu at a point on the screen, in pixels (a right click on a
    // window's title band offers it there).
    virtual void popup_menu(int x, int y) = 0;

    // Asked each time the menu opens, so it shows the present state.
    std::function<std::vector<MenuEntry>()> menu;
    std::function<void(TrayClick)> on_click;
};

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows a notification with the program's name and icon. One shown
    // before under the same `kind` is replaced, never stacked beside it.
    // Where the desktop has no notification service, the icon's own message
    // stands in; where there is neither, nothing shows.
    virtual void notify(const std::string& kind, const std::string& summary, const std::string& body) = 0;
};

// Whether the user's session starts this configuration (this program under
// its own name, so its own section) when the user logs in.
class StartAtLogin {
public:
    virtual ~StartAtLogin() = default;
    // The real state: an entry the user removed, hid or disabled in the
    // session's start-up list reads as off.
    virtual bool enabled() const = 0;
    // Writes or removes exactly this configuration's entry. Throws
    // PlatformError when it cannot, and then nothing has changed.
    virtual void set_enabled(bool on) = 0;
};

struct Desktop {
    TrayIcon& tray;
    Notifier& notifier;
    StartAtLogin& start_at_login;
};

}  // namespace vqd
