#include "model/window.h"

#include <algorithm>

namespace vqd {

Window::Window(std::string name, Scheduler& scheduler, std::span<const ControlDesign> inventory,
               Rect client_area_twips)
    : name_(std::move(name)), scheduler_(scheduler), client_area_(client_area_twips) {
    controls_.reserve(inventory.size());
    for (const auto& design : inventory) controls_.push_back(std::make_unique<Control>(*this, design));
    // Timers enabled at design with an Interval already set would start here;
    // the inventories give every timer Interval 0, so none does before load.
    for (auto& c : controls_)
        if (c->kind() == ControlKind::Timer) scheduler_.timer_changed(*c);
}

Window::~Window() {
    if (modal_owner_ && modal_owner_->modal_child_ == this) modal_owner_->modal_child_ = nullptr;
    observers_.clear();
    controls_.clear();
    scheduler_.forget(*this);
}

Control* Window::find(std::string_view name) const {
    for (const auto& c : controls_)
        if (c->name() == name) return c.get();
    return nullptr;
}

Control& Window::operator[](std::string_view name) const {
    if (Control* c = find(name)) return *c;
    throw std::out_of_range("window " + name_ + " has no control " + std::string(name));
}

std::vector<Control*> Window::focus_order() const {
    std::vector<Control*> order;
    for (const auto& c : controls_)
        if (c->tab_index() >= 0) order.push_back(c.get());
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tab_index() < b->tab_index(); });
    return order;
}

Control* Window::first_focus() const {
    for (Control* c : focus_order())
        if (c->enabled() && c->visible()) return c;
    return nullptr;
}

void Window::set_left(float v) {
    if (left_ == v) return;
    left_ = v;
    notify(nullptr, Prop::WindowGeometry);
}
void Window::set_top(float v) {
    if (top_ == v) return;
    top_ = v;
    notify(nullptr, Prop::WindowGeometry);
}
void Window::set_width(float v) {
    if (width_ == v) return;
    width_ = v;
    notify(nullptr, Prop::WindowGeometry);
}
void Window::set_height(float v) {
    if (height_ == v) return;
    height_ = v;
    notify(nullptr, Prop::WindowGeometry);
}

void Window::set_position(float left, float top) {
    // Moves come from the window system itself; no need to echo them back.
    left_ = left;
    top_ = top;
}

void Window::shown_at(PixelPoint at, double pixels_per_twip) {
    moves_.shown(at, scheduler_.now());
    shown_left_ = left_;
    shown_top_ = top_;
    shown_ppt_ = pixels_per_twip;
}

void Window::reported_at(PixelPoint at) {
    if (const auto moved = moves_.reported(at, scheduler_.now()))
        set_position(static_cast<float>(moved->x / shown_ppt_), static_cast<float>(moved->y / shown_ppt_));
    else
        set_position(shown_left_, shown_top_);
}

void Window::set_hidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    notify(nullptr, Prop::WindowShown);
}

void Window::bring_forward() {
    hidden_ = false;
    notify(nullptr, Prop::WindowShown);
}

void Window::set_caption(std::string_view s) {
    if (caption_ == s) return;
    caption_ = s;
    notify(nullptr, Prop::WindowCaption);
}

int Window::observe(Observer o) {
    observers_.emplace_back(next_observer_, std::move(o));
    return next_observer_++;
}

void Window::unobserve(int id) {
    std::erase_if(observers_, [id](const auto& p) { return p.first == id; });
}

void Window::notify(Control* control, Prop prop) {
    const Change change{this, control, prop};
    // Observers may unsubscribe while being told; walk a copy of the ids.
    std::vector<int> ids;
    for (const auto& [id, o] : observers_) ids.push_back(id);
    for (int id : ids) {
        auto it = std::find_if(observers_.begin(), observers_.end(), [id](const auto& p) { return p.first == id; });
        if (it != observers_.end()) {
            auto fn = it->second;
            fn(change);
        }
    }
}

void Window::post_click(Control& control) {
    Control* target = &control;
    scheduler_.post_input(*this, target, "Click", [target] { target->user_click(); });
}

void Window::post_edit(Control& control, std::string text) {
    Control* target = &control;
    // A front end shows typing before the edit's turn comes; an edit that is
    // refused (the box became locked or disabled meanwhile) announces the
    // model's text again so the box shows what the model holds.
    auto show_model_text = [this, target] { notify(target, Prop::Text); };
    scheduler_.post_input(
        *this, target, "Change",
        [target, show_model_text, t = std::move(text)] {
            if (target->locked())
                show_model_text();
            else
                target->set_text(t);
        },
        show_model_text);
}

void Window::post_close() {
    scheduler_.post_input(*this, nullptr, close_event(), [this] { close(); });
}

void Window::post_session_end() {
    scheduler_.post_system(*this, close_event(), [this] { close(); });
}

std::string Window::close_event() const { return name_ + "_Unload"; }

void Window::close() {
    if (closed_) return;
    // Closing is never refused: when the unload handling fails (a save the
    // store refuses), the failure still goes to the error path, but the
    // window closes all the same instead of staying open and un-closable.
    try {
        unload();
    } catch (...) {
        finish_close();
        throw;
    }
    finish_close();
}

void Window::finish_close() {
    closed_ = true;
    scheduler_.forget(*this);
    if (modal_owner_) {
        Window* owner = modal_owner_;
        modal_owner_ = nullptr;
        if (owner->modal_child_ == this) owner->modal_child_closed();
    }
    notify(nullptr, Prop::Closed);
}

void Window::handler_failed(Control*, const std::string&, const std::exception& error) {
    set_status(error.what());
}

void Window::handler_succeeded(Control*, const std::string&) {}

void Window::set_status(std::string s) {
    if (status_ == s) return;
    status_ = std::move(s);
    notify(nullptr, Prop::Status);
}

void Window::open_modal_child(Window& child) {
    modal_child_ = &child;
    child.modal_owner_ = this;
    notify(nullptr, Prop::ModalChildOpened);
}

void Window::modal_child_closed() { modal_child_ = nullptr; }

void Window::on_click(std::string_view control, std::function<void()> handler) {
    (*this)[control].on_click = std::move(handler);
}

void Window::on_timer(std::string_view control, std::function<void()> handler) {
    (*this)[control].on_timer = std::move(handler);
}

}  // namespace vqd
