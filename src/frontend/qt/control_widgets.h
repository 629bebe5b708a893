// The widgets a window model's controls are drawn with, where plain Qt widgets
// would decide something the model must decide.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

#include <functional>

namespace vqd::qt {

// A tick box whose state only the model sets. Qt toggles a check box before
// it emits clicked(); here a click changes nothing by itself, so a click the
// model refuses never shows, not even for one frame.
class ModelCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
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

}  // namespace vqd::qt
