#include "frontend/qt/control_widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>

#include <deque>

namespace vqd::qt {

namespace {

const QPalette& shared_palette(const QPalette& palette) {
    // A handful of colour sets exist (the windows' controls, enabled and
    // not); the bound only keeps a theme that keeps changing from growing it.
    constexpr std::size_t kKept = 32;
    static std::deque<QPalette> kept;
    for (const QPalette& p : kept)
        if (p == palette) return p;
    if (kept.size() == kKept) kept.pop_front();
    kept.push_back(palette);
    return kept.back();
}

// The group a palette draws with (enabled, disabled, inactive window) is the
// option's own and no part of the palette's identity: keep it.
void use_shared_palette(QStyleOption& option) {
    const QPalette::ColorGroup group = option.palette.currentColorGroup();
    option.palette = shared_palette(option.palette);
    option.palette.setCurrentColorGroup(group);
}

}  // namespace

void SharedPaletteButton::initStyleOption(QStyleOptionButton* option) const {
    QPushButton::initStyleOption(option);
    use_shared_palette(*option);
}

void SharedPaletteScrollBar::initStyleOption(QStyleOptionSlider* option) const {
    QScrollBar::initStyleOption(option);
    use_shared_palette(*option);
}

void ModelCheckBox::show_state(Qt::CheckState state) {
    model_state_ = state;
    showing_ = true;
    setCheckState(state);
    showing_ = false;
}

void ModelCheckBox::checkStateSet() {
    QCheckBox::checkStateSet();
    if (showing_ || checkState() == model_state_) return;
    // Back to the model's state once the caller's setChecked() is done (the
    // model's answer to the click may have come by then and is shown).
    QMetaObject::invokeMethod(this, [this] { show_state(model_state_); }, Qt::QueuedConnection);
    if (on_toggle_request) on_toggle_request();
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && on_click) on_click();
}

LineWidget::LineWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void LineWidget::set_ends(QPoint from, QPoint to) {
    from_ = from;
    to_ = to;
    update();
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(from_, to_);
}

QString wrap_caption(const QString& text, const QFontMetrics& metrics, int width, int height) {
    if (width <= 0 || height < 2 * metrics.lineSpacing() || metrics.horizontalAdvance(text) <= width) return text;
    const QStringList words = text.split(QLatin1Char(' '));
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines << line;
            line = word;
        } else {
            line = candidate;
        }
    }
    lines << line;
    return lines.join(QLatin1Char('\n'));
}

QFont fitting_font(const QFont& designed, const QString& text, int width, int height, QString& wrapped) {
    QFont font = designed;
    const double smallest = designed.pointSizeF() * kSmallestFit;
    for (;;) {
        const QFontMetrics metrics(font);
        wrapped = wrap_caption(text, metrics, width, height);
        const QRect need = metrics.boundingRect(QRect(0, 0, width, 100000), 0, wrapped);
        const bool fits = need.width() <= width && need.height() <= height;
        if (fits || font.pointSizeF() - 0.25 < smallest) return font;
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
}

}  // namespace vqd::qt
