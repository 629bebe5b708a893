// Controls of the window models: labels, text boxes, tick boxes, buttons,
// timers and lines, with the properties the handlers read and write.
//
// Every setter that changes a value tells the owning window, which passes the
// change on to whoever observes it (a front end repaints, a test records).
// Setting a property to the value it already has announces nothing.
//
// The tick-box click rule lives here: set_value() with a different Value runs
// the tick box's click handler at once, nested, before set_value() returns;
// the same Value runs nothing. A user's click on a tick box goes through
// user_click(), which computes the new Value and then follows the same rule.
#pragma once

#include "model/colour.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vqd {

class Window;

enum class ControlKind { Label, TextBox, TickBox, Button, Timer, Line };

// Which property changed; Window-level changes use the same enumeration.
enum class Prop {
    Caption,
    Text,
    Enabled,
    Locked,
    Visible,
    BackColor,
    Value,
    Interval,
    Geometry,
    // window-level only
    WindowCaption,
    WindowGeometry,
    ModalChildOpened,
    Closed,
    Status,
    // hidden() changed, or the window is to come to the front (bring_forward)
    WindowShown,
};

struct Font {
    std::string_view family;  // as the window tables name it ("MS Sans Serif", "Arial Black", "Arial")
    double points = 8.25;
    int weight = 400;  // 400 normal, 700 bold, 900 heavy
    friend bool operator==(const Font&, const Font&) = default;
};

// Twips. For a line, left/top is one end and width/height hold the other end's x/y.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// One row of a window's inventory: everything a control has at design time.
struct ControlDesign {
    std::string_view name;
    ControlKind kind = ControlKind::Label;
    std::string_view text;  // caption for labels, tick boxes and buttons; text for text boxes
    Rect rect{};
    std::optional<Colour> fore{};  // nullopt: the toolkit's default for that kind of control
    std::optional<Colour> back{};
    std::optional<Font> font{};
    std::string_view tooltip{};
    bool enabled = true;     // for timers: Enabled at design
    bool locked = false;     // text boxes: read-only
    bool visible = true;
    int value = 0;           // tick boxes
    int interval = 0;        // timers
    bool multiline = false;  // text boxes with several lines and a vertical scroll bar
    int tab_index = -1;      // position in the keyboard focus order, -1 when not in it
};

class Control {
public:
    Control(Window& owner, const ControlDesign& design);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    ~Control();

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    Window& window() const { return owner_; }
    const ControlDesign& design() const { return design_; }

    // Caption (labels, tick boxes, buttons) and Text (text boxes) share storage,
    // as each kind has only one of them.
    const std::string& caption() const { return text_; }
    const std::string& text() const { return text_; }
    void set_caption(std::string_view s);
    void set_text(std::string_view s);

    bool enabled() const { return enabled_; }
    void set_enabled(bool on);
    bool locked() const { return locked_; }
    void set_locked(bool on);
    bool visible() const { return visible_; }
    void set_visible(bool on);

    std::optional<Colour> back_colour() const { return back_; }
    void set_back_colour(Colour c);
    std::optional<Colour> fore_colour() const { return design_.fore; }

    // Tick boxes: 0 unticked, 1 ticked, 2 greyed.
    int value() const { return value_; }
    void set_value(int v);

    // Timers.
    int interval() const { return interval_; }
    void set_interval(int ms);

    Rect rect() const { return design_.rect; }

    const std::optional<Font>& font() const { return design_.font; }
    std::string_view tooltip() const { return design_.tooltip; }
    bool multiline() const { return design_.multiline; }
    int tab_index() const { return design_.tab_index; }

    // Handlers named after control and event are bound here by the window.
    std::function<void()> on_click;
    std::function<void()> on_timer;

    // What a user's click does: a tick box takes its next Value (0 -> 1,
    // anything else -> 0) and runs its click handler through the rule above;
    // buttons and labels run their click handler. Front ends do not call this
    // directly but post the click to the scheduler (Window::post_click).
    void user_click();

private:
    void changed(Prop p);

    Window& owner_;
    std::string name_;
    ControlKind kind_;
    ControlDesign design_;
    std::string text_;
    bool enabled_;
    bool locked_;
    bool visible_;
    std::optional<Colour> back_;
    int value_;
    int interval_;
};

}  // namespace vqd
