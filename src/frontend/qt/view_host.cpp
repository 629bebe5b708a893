#include "frontend/qt/view_host.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>

namespace vqd::qt {

namespace {
void release_after(int ms, std::shared_ptr<void> thing, Scheduler& scheduler) {
    QTimer::singleShot(ms, qApp, [thing = std::move(thing), &scheduler]() mutable {
        // Fired inside a handler's wait: look again once the handlers are done.
        if (scheduler.busy()) release_after(50, std::move(thing), scheduler);
    });
}
}  // namespace

void release_later(std::shared_ptr<void> thing, Scheduler& scheduler) { release_after(0, std::move(thing), scheduler); }

ViewHost::~ViewHost() = default;

WindowView* ViewHost::view_of(const Window& model) const {
    for (const auto& v : views_)
        if (&v->model() == &model && v->window()) return v.get();
    return nullptr;
}

void ViewHost::open(Window& model) {
    if (model.closed()) return;
    if (WindowView* view = view_of(model)) {
        view->window()->raise();
        view->window()->activateWindow();
        return;
    }
    auto view = std::make_unique<WindowView>(model);
    view->set_status_hint(status_hint_);
    WindowView* raw = view.get();
    view->on_closed = [this, raw] {
        auto it = std::find_if(views_.begin(), views_.end(), [raw](const auto& v) { return v.get() == raw; });
        if (it == views_.end()) return;
        std::unique_ptr<WindowView> closed = std::move(*it);
        views_.erase(it);
        release_later(std::move(closed), scheduler_);
    };
    views_.push_back(std::move(view));
    raw->show();
}

}  // namespace vqd::qt
