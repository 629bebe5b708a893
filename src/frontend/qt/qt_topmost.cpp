#include "frontend/qt/qt_topmost.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

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

void set_flag(QWidget* w, bool topmost) {
    Qt::WindowFlags flags = w->windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    w->overrideWindowFlags(flags);
    if (QWindow* handle = w->windowHandle()) handle->setFlags(flags);
}

// The owner first, then what it owns, so an owned window ends up above it.
void raise_with_owned(QWidget* w) {
    w->raise();
    for (QWidget* owned : owned_windows(w)) raise_with_owned(owned);
}

}  // namespace

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
    set_flag(w, topmost);
    for (QWidget* owned : owned_windows(w)) set_flag(owned, topmost);
    if (topmost && w->isVisible()) raise_with_owned(w);
}

}  // namespace vqd::qt
