// Keeping a window above the others, for Qt on X11 (and any other Qt platform).
//
// The foreground window is the window of ours that is active, or 0 when the
// user works in another program: Qt knows nothing portable about foreign
// windows. For the same reason a foreign window's topmost state is left as it
// is: X11 offers no portable way to lower another program's "above" state, so
// instead our window is raised at every tick, which puts it back over that
// window within the stacking layer the window manager gives both.
//
// Our windows keep the rule a desktop keeps for owned windows: a window we own
// (the modal settings window) is always above its owner. It shares its
// owner's stays-on-top flag and is raised right after it, so a tick that
// raises the main window never buries the settings window, with a window
// manager or without one (where nothing but the raise order decides).
//
// Our own windows change only their stays-on-top flag in place: the flag goes
// to the existing platform window (the window manager then sets
// _NET_WM_STATE_ABOVE) without re-creating or hiding it, which
// QWidget::setWindowFlag() would do.
#pragma once

#include "platform/topmost.h"

#include <cstdint>

class QWidget;

namespace vqd::qt {

class QtTopmost final : public Topmost {
public:
    std::uintptr_t foreground_window() override;
    void set_topmost(std::uintptr_t window, bool topmost) override;

    // The handle a front end gives its window model (Window::set_handle).
    static std::uintptr_t handle_of(QWidget* window);
    // Our top-level widget with that handle, or nullptr for a foreign window.
    static QWidget* widget_of(std::uintptr_t handle);
};

}  // namespace vqd::qt
