#include "frontend/qt/qt_topmost.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace vqd::qt {

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
    Qt::WindowFlags flags = w->windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) != topmost) {
        flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
        w->overrideWindowFlags(flags);
        if (QWindow* handle = w->windowHandle()) handle->setFlags(flags);
    }
    if (topmost && w->isVisible()) w->raise();
}

}  // namespace vqd::qt
