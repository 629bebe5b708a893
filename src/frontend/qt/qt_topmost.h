// Keeping a window above the others, for Qt on X11 (and any other Qt platform).
//
// The foreground window is the window of ours that is active, or 0 when the
// user works in another program: Qt knows nothing portable about foreign
// windows. For the same reason a foreign window's topmost state is left as it
// is.
//
// A tick asks nothing of the windowing system while our window already stays
// on top. Under X11 the server tells us what changed, through a native event
// filter: where a window manager keeps _NET_WM_STATE_ABOVE on our window it
// is trusted; otherwise (no window manager, or one without that state) our
// window is raised again only at the first tick after the server reported it
// covered or restacked (VisibilityNotify, ConfigureNotify) and a window not
// ours does lie above it. On other Qt platforms every tick raises it.
//
// Our windows keep the rule a desktop keeps for owned windows: a window we own
// (the modal settings window) is always above its owner. It shares its
// owner's stays-on-top flag and is raised right after it, so a raise of the
// main window never buries the settings window, with a window manager or
// without one (where nothing but the raise order decides), and the settings
// window covering its owner is no reason to raise.
//
// Our own windows change only their stays-on-top flag in place: the flag goes
// to the existing platform window (the window manager then sets
// _NET_WM_STATE_ABOVE) without re-creating or hiding it, which
// QWidget::setWindowFlag() would do.
#pragma once

#include "platform/topmost.h"

#include <cstdint>
#include <memory>

class QWidget;

namespace vqd::qt {

class QtTopmost final : public Topmost {
public:
    QtTopmost();
    ~QtTopmost() override;
    QtTopmost(const QtTopmost&) = delete;
    QtTopmost& operator=(const QtTopmost&) = delete;

    std::uintptr_t foreground_window() override;
    void set_topmost(std::uintptr_t window, bool topmost) override;

    // The handle a front end gives its window model (Window::set_handle).
    static std::uintptr_t handle_of(QWidget* window);
    // Our top-level widget with that handle, or nullptr for a foreign window.
    static QWidget* widget_of(std::uintptr_t handle);

private:
    class X11;
    std::unique_ptr<X11> x11_;
    bool x11_tried_ = false;
};

}  // namespace vqd::qt
