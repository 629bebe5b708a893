#include "frontend/qt/qt_topmost.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QWidget>
#include <QWindow>

#ifdef VQD_HAVE_XCB
#include <QGuiApplication>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#endif

namespace vqd::qt {

namespace {

// Our visible top-level windows owned by `owner` (a modal settings window).
QList<QWidget*> owned_windows(const QWidget* owner) {
    QList<QWidget*> owned;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != owner && w->isVisible() && w->parentWidget() && w->parentWidget()->window() == owner)
            owned.push_back(w);
    return owned;
}

// The window and, after it, what it owns, to any depth.
QList<QWidget*> with_owned(QWidget* w) {
    QList<QWidget*> all{w};
    for (QWidget* owned : owned_windows(w)) all += with_owned(owned);
    return all;
}

// True when the flag changed.
bool set_flag(QWidget* w, bool topmost) {
    Qt::WindowFlags flags = w->windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) == topmost) return false;
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    w->overrideWindowFlags(flags);
    if (QWindow* handle = w->windowHandle()) handle->setFlags(flags);
    return true;
}

// The owner first, then what it owns, so an owned window ends up above it.
void raise_with_owned(QWidget* w) {
    for (QWidget* each : with_owned(w)) each->raise();
}

}  // namespace

#ifdef VQD_HAVE_XCB

// What the X server told us about our windows since the last tick: whether
// one was covered (VisibilityNotify, or a ConfigureNotify that restacked it)
// and whether the window manager keeps it in the above layer
// (_NET_WM_STATE_ABOVE). Only these events cost anything; a tick where
// nothing happened sends no request.
class QtTopmost::X11 final : public QAbstractNativeEventFilter {
public:
    static std::unique_ptr<X11> make() {
        auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection()) return nullptr;
        return std::unique_ptr<X11>(new X11(x11->connection()));
    }
    ~X11() override {
        if (qApp) qApp->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7F) {
        case XCB_VISIBILITY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
            if (auto it = windows_.find(e->window); it != windows_.end())
                it->second.covered = e->state != XCB_VISIBILITY_UNOBSCURED;
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (auto it = windows_.find(e->window); it != windows_.end() && it->second.sibling != e->above_sibling) {
                it->second.sibling = e->above_sibling;
                it->second.covered = true;  // restacked: look at the stacking at the next tick
            }
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (auto it = windows_.find(e->window); it != windows_.end() && e->atom == net_wm_state_)
                it->second.state_changed = true;
            break;
        }
        default:
            break;
        }
        return false;
    }

    // Start (or, after Qt reset the window's event mask, restart) listening
    // for the window being covered.
    void watch(xcb_window_t window) {
        auto reply = take(xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window),
                                                          nullptr));
        if (!reply) return;
        const std::uint32_t mask = reply->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
        Seen& seen = windows_[window];
        seen.state_changed = true;
        seen.covered = false;
    }
    // Windows no longer ours to keep on top (a closed settings window) are let go.
    void keep_only(const std::set<xcb_window_t>& ours) {
        std::erase_if(windows_, [&](const auto& entry) { return !ours.count(entry.first); });
    }
    bool watched(xcb_window_t window) const { return windows_.count(window) != 0; }

    // Whether `own` (with `owned` above it) must be raised now.
    bool needs_raise(xcb_window_t own, const std::set<xcb_window_t>& ours) {
        Seen& seen = windows_[own];
        if (seen.state_changed) {
            seen.above = has_above_state(own);
            seen.state_changed = false;
        }
        bool covered = false;
        for (xcb_window_t w : ours)
            if (auto it = windows_.find(w); it != windows_.end() && it->second.covered) {
                covered = true;
                it->second.covered = false;
            }
        // The window manager keeps it above the others: trust it.
        if (seen.above || !covered) return false;
        return covered_by_another(own, ours);
    }

private:
    struct Seen {
        bool covered = false;
        bool above = false;
        bool state_changed = true;
        xcb_window_t sibling = XCB_NONE;
    };
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    template <class T>
    static std::unique_ptr<T, Free> take(T* reply) {
        return std::unique_ptr<T, Free>(reply);
    }

    explicit X11(xcb_connection_t* connection) : connection_(connection) {
        net_wm_state_ = atom("_NET_WM_STATE");
        net_wm_state_above_ = atom("_NET_WM_STATE_ABOVE");
        qApp->installNativeEventFilter(this);
    }

    xcb_atom_t atom(const char* name) {
        auto reply = take(xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    bool has_above_state(xcb_window_t window) {
        auto reply = take(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, net_wm_state_, XCB_ATOM_ATOM, 0, 64), nullptr));
        if (!reply || reply->format != 32) return false;
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int n = xcb_get_property_value_length(reply.get()) / 4;
        for (int i = 0; i < n; ++i)
            if (atoms[i] == net_wm_state_above_) return true;
        return false;
    }

    // The child of the root that holds `window` (its frame under a window
    // manager), and the root itself.
    std::pair<xcb_window_t, xcb_window_t> top_of(xcb_window_t window) {
        for (;;) {
            auto tree = take(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
            if (!tree) return {XCB_NONE, XCB_NONE};
            if (tree->parent == tree->root || tree->parent == XCB_NONE) return {window, tree->root};
            window = tree->parent;
        }
    }

    // Whether a window not ours lies above `own` in the stacking order. Asked
    // only after the server said something covered or restacked ours.
    bool covered_by_another(xcb_window_t own, const std::set<xcb_window_t>& ours) {
        const auto [top, root] = top_of(own);
        if (top == XCB_NONE) return true;
        std::set<xcb_window_t> our_tops;
        for (xcb_window_t w : ours) our_tops.insert(top_of(w).first);
        auto tree = take(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr));
        if (!tree) return true;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());  // bottom to top
        const int n = xcb_query_tree_children_length(tree.get());
        bool above_ours = false;
        for (int i = 0; i < n; ++i) {
            if (children[i] == top) {
                above_ours = true;
                continue;
            }
            if (above_ours && !our_tops.count(children[i]) && viewable(children[i])) return true;
        }
        return false;
    }

    bool viewable(xcb_window_t window) {
        auto reply = take(xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window),
                                                          nullptr));
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE && reply->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
    }

    xcb_connection_t* connection_;
    xcb_atom_t net_wm_state_ = XCB_NONE;
    xcb_atom_t net_wm_state_above_ = XCB_NONE;
    std::map<xcb_window_t, Seen> windows_;
};

#else

class QtTopmost::X11 {};

#endif

QtTopmost::QtTopmost() = default;
QtTopmost::~QtTopmost() = default;

std::uintptr_t QtTopmost::handle_of(QWidget* window) {
    return window ? static_cast<std::uintptr_t>(window->winId()) : 0;
}

QWidget* QtTopmost::widget_of(std::uintptr_t handle) {
    if (handle == 0) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->internalWinId() != 0 && static_cast<std::uintptr_t>(w->internalWinId()) == handle) return w;
    return nullptr;
}

std::uintptr_t QtTopmost::foreground_window() { return handle_of(QApplication::activeWindow()); }

void QtTopmost::set_topmost(std::uintptr_t window, bool topmost) {
    QWidget* w = widget_of(window);
    if (!w) return;  // a foreign window, or none: see the header
    // An owned window follows its owner's layer: taking it out would let the
    // owner cover it.
    if (!topmost && w->parentWidget() && w->parentWidget()->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const QList<QWidget*> ours = with_owned(w);
    bool changed = false;
    for (QWidget* each : ours) changed |= set_flag(each, topmost);
    if (!topmost || !w->isVisible()) return;
#ifdef VQD_HAVE_XCB
    if (!x11_tried_) {
        x11_tried_ = true;
        x11_ = X11::make();
    }
    if (x11_) {
        std::set<xcb_window_t> ids;
        for (QWidget* each : ours) {
            const auto id = static_cast<xcb_window_t>(each->winId());
            ids.insert(id);
            // Qt sets a window's event mask afresh whenever its flags change.
            if (changed || !x11_->watched(id)) {
                x11_->watch(id);
                changed = true;
            }
        }
        x11_->keep_only(ids);
        if (!changed && !x11_->needs_raise(static_cast<xcb_window_t>(w->winId()), ids)) return;
    }
#endif
    raise_with_owned(w);
}

}  // namespace vqd::qt
