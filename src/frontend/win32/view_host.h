// Views that outlive their own close, and top-level windows opened by the
// program rather than by a window of their own kind.
#pragma once

#include "model/scheduler.h"
#include "model/window.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace vqd::win32ui {

class FontCache;
class SchedulerDriver;
class WindowView;

// Holds what must not be destroyed inside its own messages (a view whose
// model closed is inside that model's change notification) and releases it
// from a posted message of its own, once no handler runs: a message served
// inside a handler's wait may have that handler (perhaps a click on the
// closed window) still below it on the stack.
class Retirer {
public:
    explicit Retirer(Scheduler& scheduler);
    ~Retirer();
    Retirer(const Retirer&) = delete;
    Retirer& operator=(const Retirer&) = delete;

    void retire(std::shared_ptr<void> thing);
    template <class T>
    void retire(std::unique_ptr<T> thing) {
        if (thing) retire(std::shared_ptr<void>(std::move(thing)));
    }
    // Releases everything held, now (the owner goes).
    void release_all();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    Scheduler& scheduler_;
    HWND hwnd_ = nullptr;
    std::vector<std::shared_ptr<void>> held_;
};

// Gives a window model a view of its own, a top-level window, and lets it go
// when the model closes. Knows no window by name.
class ViewHost {
public:
    ViewHost(SchedulerDriver& driver, FontCache& fonts);
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    // Shows an open model's window, or brings its window to the front.
    void open(Window& model);
    // The view of a model while its window is open, else nullptr.
    WindowView* view_of(const Window& model) const;

private:
    SchedulerDriver& driver_;
    FontCache& fonts_;
    std::vector<std::unique_ptr<WindowView>> views_;
    Retirer retired_;
};

}  // namespace vqd::win32ui
