// A native Win32 window for a window model: one child control per control of
// the inventory, kept in step with the model through its change stream.
//
// Kinds: a label is a STATIC, a text box an EDIT (read-only while Locked), a
// tick box a BUTTON of the non-automatic three-state kind (the model decides
// the tick; Value 2 shows greyed), a button a push BUTTON; lines are painted by
// the window itself and timers have no window at all. Positions are twips,
// converted at the DPI of the monitor the window is on, and again when it
// moves to another. Child control ids are 1000 + the control's place in the
// inventory, so tools can find a control by its name.
//
// Screen readers name buttons, tick boxes and labels by their text, and a text
// box by the static text right before it in creation order: each text box has
// a hidden one holding the model's name for it (model/presentation.h). What a
// one-line box shows and the strip's text are the model's too.
//
// User input goes to the model through the scheduler: clicks (BN_CLICKED,
// STN_CLICKED), edits (EN_CHANGE) and the close command (WM_CLOSE), also while
// a handler waits (the clock's wait dispatches them; the scheduler queues
// them). Nothing is changed here on the user's behalf: a tick box shows a tick
// only once the model has set its Value. Tab and Shift+Tab walk the model's
// focus order, through the multi-line displays too.
//
// A window opens where the model says, unless that lies on no monitor's work
// area: then it opens wholly on the nearest one (model/placement.h). Only the
// shown position changes: the model keeps the one it holds, so an unmoved
// window stores it unchanged and opens there again once that monitor is back.
//
// A modal child (the settings window) gets a view of its own, owned by this
// one, whose window is disabled until the child closes. Failures the model
// reports (Window::status) show in a strip of up to four lines under the
// window's own area, which grows to make room: no control is covered and no
// message box appears. The modal child shows its owner's failures as well, as
// the owner lies disabled behind it (a failing "Save To .BAT Files" is
// reported by the main window).
#pragma once

#include "frontend/win32/fonts.h"
#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/view_host.h"
#include "model/window.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace vqd::win32ui {

inline constexpr int kFirstControlId = 1000;
inline constexpr wchar_t kFormClassName[] = L"VQD_FORM";

class WindowView {
public:
    WindowView(Window& model, HWND owner, SchedulerDriver& driver, FontCache& fonts);
    ~WindowView();
    WindowView(const WindowView&) = delete;
    WindowView& operator=(const WindowView&) = delete;

    HWND hwnd() const { return hwnd_; }
    Window& model() const { return model_; }
    // Show the window and give the focus to the first control of the Tab order.
    void show();
    // The view of the open modal child, if any.
    WindowView* child() const { return child_.get(); }
    // The native window of a control (nullptr for timers and lines).
    HWND control_window(std::string_view name) const;
    UINT dpi() const { return dpi_; }
    // The error strip (hidden while the model reports no failure).
    HWND status_window() const { return status_; }
    HWND tooltip_window() const { return tooltip_; }

    // Called once the model window has closed and its native window is gone.
    std::function<void()> on_closed;

    // The window procedure of the form class.
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

private:
    struct Item {
        Control* control;
        HWND hwnd = nullptr;
        HWND tooltip_of = nullptr;
        HWND name_holder = nullptr;  // text boxes: the hidden static a screen reader takes their name from
    };

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

    void create_controls();
    void create_control(size_t index);
    void add_tooltip(HWND control, const std::wstring& text);
    void apply(const Change& change);
    void apply_control(Item& item, Prop prop);
    void apply_text(Item& item);
    void update_names();
    void place_window();
    void layout_controls();
    void apply_fonts();
    void update_status();
    void open_child();
    void child_closed();
    void model_closed();
    void command(WORD id, WORD code, HWND from);
    LRESULT control_colours(HDC dc, HWND from, bool edit_asks);
    void paint_lines(HDC dc);
    void paint_status_band(HDC dc);
    int status_height() const { return status_height_; }
    void measure_status(const std::wstring& text);

    Item* item_of(HWND control);
    Item* item_of(const Control* control);

    Window& model_;
    HWND owner_;
    SchedulerDriver& driver_;
    FontCache& fonts_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND status_ = nullptr;
    HWND last_focus_ = nullptr;
    int status_height_ = 0;
    UINT dpi_ = 96;
    int observer_ = 0;
    bool detached_ = false;
    bool positioning_ = false;  // our own SetWindowPos, not a move by the user
    bool applying_ = false;     // our own SetWindowText, not an edit by the user
    POINT placed_at_{};
    std::vector<Item> items_;
    std::unique_ptr<WindowView> child_;
    Retirer retired_{driver_.scheduler()};  // closed children, released outside their own messages
    std::map<COLORREF, HBRUSH> brushes_;
};

// Register the window class of forms; call once before the first view.
void register_form_class();
// One message of the program's queue: Tab and the arrow keys move between the
// controls of the form the message is for, everything else is translated and
// dispatched. The message loop and the clock's wait both hand messages here.
void dispatch_message(MSG& msg);
// The message loop of the program. Returns when WM_QUIT arrives.
int run_message_loop();

}  // namespace vqd::win32ui
