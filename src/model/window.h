// A window model: a named set of controls built from an inventory table, the
// window's own placement and caption, and the stream of changes a front end
// renders.
//
// Front ends never change properties that carry behaviour themselves: they post
// clicks, edits and close requests through post_click(), post_edit() and
// post_close(), which go through the scheduler. Moving the window is the one
// exception (set_position), because no handler runs on it.
#pragma once

#include "model/control.h"
#include "model/placement.h"
#include "model/scheduler.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vqd {

struct Change {
    Window* window;
    Control* control;  // nullptr for window-level changes
    Prop prop;
};

class Window {
public:
    using Observer = std::function<void(const Change&)>;

    Window(std::string name, Scheduler& scheduler, std::span<const ControlDesign> inventory,
           Rect client_area_twips);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    const std::string& name() const { return name_; }
    Scheduler& scheduler() const { return scheduler_; }

    // Control by its name; throws std::out_of_range for a name not in the inventory.
    Control& operator[](std::string_view name) const;
    Control* find(std::string_view name) const;
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    // The controls in the keyboard focus order (those with a tab index), and
    // the one that takes the focus when the window opens: the first of them
    // that is enabled and visible, or nullptr.
    std::vector<Control*> focus_order() const;
    Control* first_focus() const;
    // The size of the area the inventory is laid out on (twips).
    Rect client_area() const { return client_area_; }

    // Placement in twips (single precision, as stored) and caption.
    float left() const { return left_; }
    float top() const { return top_; }
    float width() const { return width_; }
    float height() const { return height_; }
    void set_left(float v);
    void set_top(float v);
    void set_width(float v);
    void set_height(float v);
    void set_position(float left, float top);  // a user moved the window
    // A front end that learns of moves only as positions (Qt) reports them
    // here, in pixels of `pixels_per_twip`: first where it shows the window
    // for the position the model holds, then every position the window
    // system reports. The model takes a position as the user's move only by
    // the rule of MoveJudge; a window back where it was shown holds its
    // position as before the showing, exact to the twip.
    void shown_at(PixelPoint at, double pixels_per_twip);
    void reported_at(PixelPoint at);
    const std::string& caption() const { return caption_; }
    void set_caption(std::string_view s);

    // Put away without closing (the tray's Show/Hide): the view hides a
    // hidden window, and shows one that comes back in front, restored.
    // bring_forward() asks for that last part alone, hidden or not.
    bool hidden() const { return hidden_; }
    void set_hidden(bool hidden);
    void bring_forward();
    // The view reports whether the window system shows the window minimized.
    bool minimized() const { return minimized_; }
    void reported_minimized(bool minimized) { minimized_ = minimized; }

    // A right click (or the menu key) on the window, reported by its view:
    // where in the client area (twips) and where on the screen (pixels).
    // True when the program offered something there; the view then shows
    // nothing of its own.
    struct ContextClick {
        int x_twips, y_twips;
        PixelPoint screen;
    };
    bool context_click(const ContextClick& click) { return on_context_click && on_context_click(click); }
    std::function<bool(const ContextClick&)> on_context_click;

    // The platform handle of the window shown for this model (0 until shown).
    std::uintptr_t handle() const { return handle_; }
    void set_handle(std::uintptr_t h) { handle_ = h; }

    // Observers see every property change of the window and its controls.
    int observe(Observer o);
    void unobserve(int id);
    void notify(Control* control, Prop prop);

    // Input from the user, delivered through the scheduler.
    void post_click(Control& control);
    void post_edit(Control& control, std::string text);
    void post_close();
    // The session ends (logout, a termination signal): the window closes
    // through its normal close handling even while a modal child is open.
    void post_session_end();
    // The event name a close of this window reports failures under.
    std::string close_event() const;

    // Modal state: while a modal child is open, input to this window is dropped.
    Window* modal_child() const { return modal_child_; }
    // The window this one is the modal child of, while it is open.
    Window* modal_owner() const { return modal_owner_; }
    bool accepts_input() const { return !closed_ && modal_child_ == nullptr; }
    bool closed() const { return closed_; }

    // The window's load and unload handling. close() runs unload, then marks the
    // window closed and announces Prop::Closed; closing twice does nothing.
    // An unload that throws still closes the window; the exception then goes
    // on to the caller (the scheduler's error path).
    virtual void load() {}
    virtual void unload() {}
    void close();

    // Called by the scheduler after a handler of this window ended.
    virtual void handler_failed(Control* control, const std::string& event, const std::exception& error);
    virtual void handler_succeeded(Control* control, const std::string& event);

    // Status line for the front end (errors); empty when there is nothing to show.
    const std::string& status() const { return status_; }

protected:
    void set_status(std::string s);
    void open_modal_child(Window& child);
    void modal_child_closed();
    // Bind a handler to a control's click or timer event.
    void on_click(std::string_view control, std::function<void()> handler);
    void on_timer(std::string_view control, std::function<void()> handler);

private:
    void finish_close();

    std::string name_;
    Scheduler& scheduler_;
    std::vector<std::unique_ptr<Control>> controls_;
    Rect client_area_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    MoveJudge moves_;
    float shown_left_ = 0, shown_top_ = 0;  // the position held when shown
    double shown_ppt_ = 1.0 / 15;
    std::string caption_;
    std::uintptr_t handle_ = 0;
    std::vector<std::pair<int, Observer>> observers_;
    int next_observer_ = 1;
    Window* modal_child_ = nullptr;
    Window* modal_owner_ = nullptr;
    bool closed_ = false;
    bool hidden_ = false;
    bool minimized_ = false;
    std::string status_;
};

}  // namespace vqd
