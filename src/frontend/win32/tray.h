// The tray icon on Windows: the shell's notification icon, and its balloon
// as the desktop's notifications. They draw what the program decides (the
// picture, the tooltip, the menu's entries, the text) and report clicks;
// where the shell has no notification area, adding the icon fails, show()
// says so, and nothing else changes.
#pragma once

#include "platform/desktop.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace vqd::win32ui {

class TrayIcon final : public vqd::TrayIcon {
public:
    TrayIcon();
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool show(TrayPicture picture, const std::string& tooltip) override;
    void hide() override;
    bool shown() const override { return shown_; }
    // Returns after the user chose an entry (then it has run) or dismissed the menu.
    void popup_menu(int x, int y) override;

    // The icon's balloon; false while the icon is not shown.
    bool balloon(const std::string& title, const std::string& text);

    // The hidden window that receives the icon's messages.
    HWND hwnd() const { return hwnd_; }
    const std::wstring& tooltip() const { return tooltip_; }

    static constexpr UINT kIconMessage = WM_APP + 40;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    NOTIFYICONDATAW data(UINT flags) const;
    bool add_or_modify();

    HWND hwnd_ = nullptr;
    HICON plain_ = nullptr;
    HICON cued_ = nullptr;
    bool wanted_ = false;  // shown last asked, and not hidden since
    bool shown_ = false;   // the shell holds the icon
    TrayPicture picture_ = TrayPicture::Plain;
    std::wstring tooltip_;
    UINT taskbar_created_ = 0;
};

// Notifications as the icon's balloon: the shell shows one balloon at a
// time, and a new one replaces the one before. Nothing shows without the icon.
class BalloonNotifier final : public vqd::Notifier {
public:
    explicit BalloonNotifier(TrayIcon& tray) : tray_(tray) {}
    void notify(const std::string&, const std::string& summary, const std::string& body) override {
        tray_.balloon(summary, body);
    }

private:
    TrayIcon& tray_;
};

}  // namespace vqd::win32ui
