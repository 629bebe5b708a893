// The widgets a window model's controls are drawn with, where plain Qt widgets
// would decide something the model must decide.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include <functional>

namespace vqd::qt {

// A tick box whose state only the model sets. Qt toggles a check box before
// it emits clicked(); here a click changes nothing by itself, so a click the
// model refuses never shows, not even for one frame.
//
// Assistive tools do not click: their "Toggle" action sets the state directly
// (QAbstractButton::toggle), which emits no clicked(). Any state set other
// than through show_state() is therefore taken back to the model's and
// reported through on_toggle_request, which the view treats as the click.
class ModelCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    // Shows the model's state.
    void show_state(Qt::CheckState state);
    std::function<void()> on_toggle_request;

protected:
    void nextCheckState() override {}
    void checkStateSet() override;

private:
    Qt::CheckState model_state_ = Qt::Unchecked;
    bool showing_ = false;
};

// The style keeps the pictures of push buttons and scroll bars in the
// application's pixmap cache under keys made from the palette's identity, and
// every widget palette set on a new window is a new identity, even with the
// very same colours. Each settings window would then add fresh cache keys,
// and Qt keeps a little of every key it has ever seen, clearing or not: a few
// kilobytes per opening, for as long as the program runs. These two widgets
// draw with one shared palette per distinct set of colours instead, so a
// window opened again finds its pictures already made.

class SharedPaletteButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void initStyleOption(QStyleOptionButton* option) const override;
};

class SharedPaletteScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void initStyleOption(QStyleOptionSlider* option) const override;
};

// A label that reports clicks (the model may bind a click handler to a label).
class ClickLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> on_click;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// A one-pixel line between two points given relative to the widget.
class LineWidget final : public QWidget {
public:
    explicit LineWidget(QWidget* parent);
    void set_ends(QPoint from, QPoint to);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_, to_;
};

// Greedy word wrap of a caption to a width, with '\n' between lines, for push
// buttons and check boxes, which draw '\n' but never wrap by themselves. A
// caption stays on one line where the height has room for one line only.
QString wrap_caption(const QString& text, const QFontMetrics& metrics, int width, int height);

// A caption the font it was designed in cannot hold (a substitute family drawn
// wider than the designed one): the largest size, down to kSmallestFit of the
// designed one, in which the caption wrapped as above fits width x height.
// Returns the font and sets `wrapped` to the caption's lines; with no size
// fitting, the smallest.
inline constexpr double kSmallestFit = 0.8;
QFont fitting_font(const QFont& designed, const QString& text, int width, int height, QString& wrapped);

}  // namespace vqd::qt
