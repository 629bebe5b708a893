// Draws a window model with Qt widgets and keeps the drawing in step with it.
//
// The view knows no window by name: it builds one widget per control from
// Window::controls() (timers get none), places it at its twips rectangle
// converted by the screen's logical DPI, and from then on follows the model's
// change stream. Input goes the other way only through the model's post_*()
// calls, so every click, edit and close request reaches the handlers through
// the scheduler, in order, one handler at a time.
//
// A window's Left, Top, Width and Height are its outer size, frame included,
// as the model stores them; the controls sit on a canvas of the client size.
// Errors from the window's status show in a strip under that canvas: the
// window grows by the strip's height, so the strip never covers a control.
// A modal child with no status of its own shows its owner's there.
// A position that lies on no screen is shown on the nearest one
// (model/placement.h); the model keeps the position it holds.
// What a one-line box shows, the strip's text and the names screen readers
// announce are the model's (model/presentation.h); a tick box's accessibility
// "Toggle" is a click like any other (ModelCheckBox).
#pragma once

#include "model/window.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QLabel;

namespace vqd::qt {

// Pixels per twip for a logical DPI (1/15 at 96 DPI).
inline double pixels_per_twip(double logical_dpi) { return logical_dpi / 1440.0; }
// A control's rectangle in pixels; for a line, the box around its two ends.
QRect to_pixels(const Rect& twips, ControlKind kind, double ppt);
// A model colour as Qt draws it; the system window colour is the palette's Base.
QColor to_qcolor(Colour colour);

class WindowView {
public:
    // `owner`: the view of the window that owns this one (modal children).
    explicit WindowView(Window& model, WindowView* owner = nullptr);
    ~WindowView();
    WindowView(const WindowView&) = delete;
    WindowView& operator=(const WindowView&) = delete;

    Window& model() const { return model_; }
    // The top-level widget; nullptr once the model has closed and it is gone.
    QWidget* window() const;
    // The widget drawing a control (objectName is the control's name), or nullptr.
    QWidget* widget(std::string_view control) const;
    // The canvas the controls sit on, at the client size.
    QWidget* canvas() const;
    QLabel* status_strip() const;
    double pixels_per_twip() const { return ppt_; }
    // The view of the modal child window while it is open.
    WindowView* modal_child() const { return child_.get(); }
    bool closed() const { return closed_; }

    void show();

    // Shown as the status strip's tooltip, e.g. where the error log is kept.
    void set_status_hint(const QString& hint);
    // After the model closed and the window went away.
    std::function<void()> on_closed;

private:
    class Form;
    struct Entry {
        Control* control;
        QWidget* widget;
        std::deque<std::string> pending_edits;  // posted to the model, not yet seen back
    };

    void build();
    QWidget* create_widget(Control& control);
    void on_change(const Change& change);
    void sync(Entry& entry, Prop prop);
    void sync_text(Entry& entry);
    // Names for screen readers, as model/presentation.h decides them.
    void apply_accessible_names();
    void apply_colours(Entry& entry);
    void apply_geometry();
    void apply_status();
    void set_tab_order();
    void focus_first();
    void open_modal_child();
    void model_closed();
    void user_moved();
    void user_closes();
    void text_edited(Entry& entry, const QString& text);
    void refit_to_frame();
    void retire_child();
    QPoint visible_position() const;
    QMargins frame_margins() const;
    QSize client_size() const;

    Window& model_;
    WindowView* owner_;
    double ppt_;
    QPointer<Form> form_;
    QWidget* canvas_ = nullptr;
    QLabel* strip_ = nullptr;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::map<const Control*, Entry*> by_control_;
    std::unique_ptr<WindowView> child_;
    int observer_ = 0;
    bool closed_ = false;
    bool applying_geometry_ = false;
    bool syncing_ = false;  // a widget is being set from the model, not edited by the user
    QPoint applied_pos_;
    QMargins applied_margins_;
};

}  // namespace vqd::qt
