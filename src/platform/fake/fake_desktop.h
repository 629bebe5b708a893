// The desktop services in memory, recording what the windows layer asked.
#pragma once

#include "platform/desktop.h"
#include "platform/failure.h"

#include <optional>
#include <string>
#include <vector>

namespace vqd::fake {

class TrayIcon final : public vqd::TrayIcon {
public:
    bool show(TrayPicture p, const std::string& tip) override {
        if (!area) return shown_ = false;
        picture = p;
        tooltip = tip;
        ++shows;
        return shown_ = true;
    }
    void hide() override { shown_ = false; }
    bool shown() const override { return shown_; }
    void popup_menu(int x, int y) override {
        popups.push_back({x, y});
        opened = menu ? menu() : std::vector<MenuEntry>{};
    }

    // The menu as it would open now (what the user sees on a right click).
    std::vector<MenuEntry> open_menu() { return opened = menu ? menu() : std::vector<MenuEntry>{}; }
    // Chooses the entry with this caption from the menu as it opens now; false when absent or disabled.
    bool choose(const std::string& caption) {
        for (auto& e : open_menu())
            if (e.caption == caption && e.enabled && e.chosen) {
                e.chosen();
                return true;
            }
        return false;
    }
    void click(TrayClick how) {
        if (on_click) on_click(how);
    }

    bool area = true;  // whether a notification area takes the icon
    TrayPicture picture = TrayPicture::Plain;
    std::string tooltip;
    int shows = 0;
    struct At { int x, y; };
    std::vector<At> popups;
    std::vector<MenuEntry> opened;

private:
    bool shown_ = false;
};

class Notifier final : public vqd::Notifier {
public:
    struct Shown {
        std::string kind, summary, body;
    };
    void notify(const std::string& kind, const std::string& summary, const std::string& body) override {
        shown.push_back({kind, summary, body});
    }
    std::vector<Shown> shown;
};

class StartAtLogin final : public vqd::StartAtLogin {
public:
    bool enabled() const override { return on; }
    void set_enabled(bool want) override {
        if (fail) throw PlatformError(want ? "write start-up entry" : "remove start-up entry", "fake", *fail);
        on = want;
        ++writes;
    }
    bool on = false;
    int writes = 0;
    std::optional<std::string> fail;  // the reason every write fails with
};

// The three together, as one front end would have them.
struct Desktop {
    TrayIcon tray;
    Notifier notifier;
    StartAtLogin start_at_login;
    vqd::Desktop services() { return {tray, notifier, start_at_login}; }
};

}  // namespace vqd::fake
