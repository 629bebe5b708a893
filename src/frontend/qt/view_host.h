// Views that outlive their own close, and top-level windows opened by the
// program rather than by a window of their own kind.
#pragma once

#include "frontend/qt/window_view.h"
#include "model/scheduler.h"

#include <QString>

#include <memory>
#include <vector>

namespace vqd::qt {

// Deletes `thing` once the event loop runs again and no handler runs: a view
// whose model closed is inside that model's change notification, and a
// handler's wait runs a nested event loop with the handler (perhaps one of
// that window's) still below it on the stack.
void release_later(std::shared_ptr<void> thing, Scheduler& scheduler);
template <class T>
void release_later(std::unique_ptr<T> thing, Scheduler& scheduler) {
    if (thing) release_later(std::shared_ptr<void>(std::move(thing)), scheduler);
}

// Gives a window model a view of its own, a top-level window, and lets it go
// when the model closes. Knows no window by name.
class ViewHost {
public:
    explicit ViewHost(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    // Shows an open model's window, or brings its window to the front.
    void open(Window& model);
    // The view of a model while its window is open, else nullptr.
    WindowView* view_of(const Window& model) const;
    // Shown on each new window's status strip, like the main window's.
    void set_status_hint(const QString& hint) { status_hint_ = hint; }

private:
    Scheduler& scheduler_;
    QString status_hint_;
    std::vector<std::unique_ptr<WindowView>> views_;
};

}  // namespace vqd::qt
