#include "model/control.h"

#include "model/window.h"

namespace vqd {

Control::Control(Window& owner, const ControlDesign& design)
    : owner_(owner),
      name_(design.name),
      kind_(design.kind),
      design_(design),
      text_(design.text),
      enabled_(design.enabled),
      locked_(design.locked),
      visible_(design.visible),
      back_(design.back),
      value_(design.value),
      interval_(design.interval) {}

Control::~Control() { owner_.scheduler().forget(*this); }

void Control::changed(Prop p) {
    if (kind_ == ControlKind::Timer && (p == Prop::Enabled || p == Prop::Interval))
        owner_.scheduler().timer_changed(*this);
    owner_.notify(this, p);
}

void Control::set_caption(std::string_view s) {
    if (text_ == s) return;
    text_ = s;
    changed(Prop::Caption);
}

void Control::set_text(std::string_view s) {
    if (text_ == s) return;
    text_ = s;
    changed(Prop::Text);
}

void Control::set_enabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    changed(Prop::Enabled);
}

void Control::set_locked(bool on) {
    if (locked_ == on) return;
    locked_ = on;
    changed(Prop::Locked);
}

void Control::set_visible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    changed(Prop::Visible);
}

void Control::set_back_colour(Colour c) {
    if (back_ == c) return;
    back_ = c;
    changed(Prop::BackColor);
}

void Control::set_value(int v) {
    if (value_ == v) return;
    value_ = v;
    changed(Prop::Value);
    // The click rule: a new Value runs the click handler now, nested.
    if (kind_ == ControlKind::TickBox && on_click) on_click();
}

void Control::set_interval(int ms) {
    if (interval_ == ms) return;
    interval_ = ms;
    changed(Prop::Interval);
}

void Control::user_click() {
    if (kind_ == ControlKind::TickBox) {
        set_value(value_ == 0 ? 1 : 0);
        return;
    }
    if (on_click) on_click();
}

}  // namespace vqd
