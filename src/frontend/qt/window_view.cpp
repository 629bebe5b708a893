#include "frontend/qt/window_view.h"

#include "frontend/qt/control_widgets.h"
#include "frontend/qt/fonts.h"
#include "frontend/qt/qt_topmost.h"
#include "frontend/qt/view_host.h"
#include "model/placement.h"
#include "model/presentation.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace vqd::qt {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

int px(double twips, double ppt) { return static_cast<int>(std::lround(twips * ppt)); }

// Room a push button's frame leaves for its caption.
constexpr int kButtonTextMargin = 8;

void set_role(QPalette& p, QPalette::ColorRole role, const QColor& c, bool disabled_too) {
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    if (disabled_too) p.setColor(QPalette::Disabled, role, c);
}

}  // namespace

QRect to_pixels(const Rect& r, ControlKind kind, double ppt) {
    if (kind == ControlKind::Line) {
        const int x1 = px(r.left, ppt), y1 = px(r.top, ppt), x2 = px(r.width, ppt), y2 = px(r.height, ppt);
        return QRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + 1, std::abs(y2 - y1) + 1);
    }
    return QRect(px(r.left, ppt), px(r.top, ppt), px(r.width, ppt), px(r.height, ppt));
}

QColor to_qcolor(Colour c) {
    if (c.is_system()) return QApplication::palette().color(QPalette::Active, QPalette::Base);
    return QColor(c.red(), c.green(), c.blue());
}

// --- The top-level widget ---

class WindowView::Form final : public QWidget {
public:
    Form(WindowView& view, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), view_(view) {}
    bool accept_close = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        // The model decides: its close runs the unload handling and then
        // tells us to go.
        if (accept_close) {
            event->accept();
            return;
        }
        event->ignore();
        view_.user_closes();
    }
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        view_.user_moved();
    }
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        view_.refit_to_frame();
    }
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange) view_.model_.reported_minimized(isMinimized());
    }

private:
    WindowView& view_;
};

// --- Building ---

WindowView::WindowView(Window& model, WindowView* owner) : model_(model), owner_(owner) {
    QWidget* parent = owner ? owner->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    ppt_ = qt::pixels_per_twip(screen ? screen->logicalDotsPerInchX() : 96.0);

    // A fixed-size window: title, system menu and close; minimise for the
    // main window only; no maximise, which would only show the hidden holders.
    Qt::WindowFlags flags = (owner ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (!owner) flags |= Qt::WindowMinimizeButtonHint;
    form_ = new Form(*this, parent, flags);
    // Owned and modal: the owner takes no input, its timers and displays go on.
    if (owner) form_->setWindowModality(Qt::WindowModal);
    form_->setObjectName(qs(model_.name()));
    form_->setAttribute(Qt::WA_DeleteOnClose, false);
    canvas_ = new QWidget(form_);
    canvas_->setObjectName(QStringLiteral("canvas"));
    // A right click anywhere on the canvas goes to the model, which may offer a menu there.
    canvas_->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(canvas_, &QWidget::customContextMenuRequested, [this](const QPoint& at) {
        const QPoint screen = canvas_->mapToGlobal(at);
        model_.context_click({static_cast<int>(at.x() / ppt_), static_cast<int>(at.y() / ppt_), {screen.x(), screen.y()}});
    });
    strip_ = new QLabel(form_);
    strip_->setObjectName(QStringLiteral("status"));
    strip_->setTextFormat(Qt::PlainText);
    strip_->setWordWrap(true);
    strip_->setMargin(3);
    strip_->setAutoFillBackground(true);
    QPalette sp = strip_->palette();
    set_role(sp, QPalette::Window, QColor(0xFF, 0xE4, 0xE1), true);
    set_role(sp, QPalette::WindowText, QColor(0x8B, 0x00, 0x00), true);
    strip_->setPalette(sp);
    strip_->hide();

    build();
    observer_ = model_.observe([this](const Change& change) { on_change(change); });
}

WindowView::~WindowView() {
    child_.reset();
    if (!closed_) model_.unobserve(observer_);
    delete form_.data();
}

QWidget* WindowView::window() const { return closed_ ? nullptr : form_.data(); }
QWidget* WindowView::canvas() const { return canvas_; }
QLabel* WindowView::status_strip() const { return strip_; }

QWidget* WindowView::widget(std::string_view control) const {
    const Control* c = closed_ ? nullptr : model_.find(control);
    const auto it = c ? by_control_.find(c) : by_control_.end();
    return it == by_control_.end() ? nullptr : it->second->widget;
}

void WindowView::set_status_hint(const QString& hint) { strip_->setToolTip(hint); }

void WindowView::build() {
    for (const auto& c : model_.controls()) {
        if (c->kind() == ControlKind::Timer) continue;
        auto entry = std::make_unique<Entry>(Entry{c.get(), nullptr, {}});
        entry->widget = create_widget(*c);
        entry->widget->setObjectName(qs(c->name()));
        by_control_[c.get()] = entry.get();
        entries_.push_back(std::move(entry));
    }
    for (auto& e : entries_) {
        for (Prop p : {Prop::Geometry, Prop::Text, Prop::Enabled, Prop::Locked, Prop::Visible, Prop::BackColor,
                       Prop::Value})
            sync(*e, p);
        if (!e->control->tooltip().empty()) e->widget->setToolTip(qs(std::string(e->control->tooltip())));
    }
    set_tab_order();
    apply_accessible_names();
    form_->setWindowTitle(qs(model_.caption()));
    apply_geometry();
}

QWidget* WindowView::create_widget(Control& control) {
    Control* c = &control;
    QWidget* w = nullptr;
    switch (control.kind()) {
    case ControlKind::Label: {
        auto* label = new ClickLabel(canvas_);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->on_click = [this, c] {
            if (c->on_click) model_.post_click(*c);
        };
        w = label;
        break;
    }
    case ControlKind::TextBox:
        if (control.multiline()) {
            auto* edit = new QPlainTextEdit(canvas_);
            edit->setVerticalScrollBar(new SharedPaletteScrollBar(Qt::Vertical, edit));
            edit->setHorizontalScrollBar(new SharedPaletteScrollBar(Qt::Horizontal, edit));
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            QObject::connect(edit, &QPlainTextEdit::textChanged, [this, c, edit] {
                if (!syncing_) text_edited(*by_control_.at(c), edit->toPlainText());
            });
            w = edit;
        } else {
            auto* edit = new QLineEdit(canvas_);
            QObject::connect(edit, &QLineEdit::textEdited,
                             [this, c](const QString& text) { text_edited(*by_control_.at(c), text); });
            w = edit;
        }
        break;
    case ControlKind::TickBox: {
        auto* box = new ModelCheckBox(canvas_);
        box->setTristate(true);  // Value 2, greyed; only the model ever sets it
        QObject::connect(box, &QCheckBox::clicked, [this, c] { model_.post_click(*c); });
        box->on_toggle_request = [this, c] { model_.post_click(*c); };
        w = box;
        break;
    }
    case ControlKind::Button: {
        auto* button = new SharedPaletteButton(canvas_);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, [this, c] { model_.post_click(*c); });
        w = button;
        break;
    }
    case ControlKind::Line:
        w = new LineWidget(canvas_);
        break;
    case ControlKind::Timer:
        break;
    }
    w->setFont(control_font(control.font()));
    return w;
}

// --- Following the model ---

void WindowView::on_change(const Change& change) {
    if (closed_) return;
    if (change.control) {
        if (auto it = by_control_.find(change.control); it != by_control_.end()) sync(*it->second, change.prop);
        // A caption or a box's value may name another control (model/presentation.h).
        if (change.prop == Prop::Caption || change.prop == Prop::Text || change.prop == Prop::Visible)
            apply_accessible_names();
        return;
    }
    switch (change.prop) {
    case Prop::WindowCaption:
        form_->setWindowTitle(qs(model_.caption()));
        break;
    case Prop::WindowGeometry:
        apply_geometry();
        break;
    case Prop::ModalChildOpened:
        open_modal_child();
        break;
    case Prop::Closed:
        model_closed();
        break;
    case Prop::WindowShown:
        if (model_.hidden()) {
            form_->hide();
            break;
        }
        if (form_->isMinimized()) form_->showNormal();
        else form_->show();
        form_->raise();
        form_->activateWindow();
        break;
    case Prop::Status:
        apply_status();
        // A modal child shows its owner's failures while it is open: the
        // owner's strip may be hidden under it, and its own handlers report
        // through the owner's error path.
        if (child_) child_->apply_status();
        break;
    default:
        break;
    }
}

void WindowView::sync(Entry& entry, Prop prop) {
    Control& c = *entry.control;
    QWidget* w = entry.widget;
    switch (prop) {
    case Prop::Caption:
    case Prop::Text:
        sync_text(entry);
        break;
    case Prop::Enabled:
        w->setEnabled(c.enabled());
        break;
    case Prop::Locked:
        if (auto* line = qobject_cast<QLineEdit*>(w)) line->setReadOnly(c.locked());
        if (auto* text = qobject_cast<QPlainTextEdit*>(w)) text->setReadOnly(c.locked());
        break;
    case Prop::Visible:
        w->setVisible(c.visible());
        break;
    case Prop::BackColor:
        apply_colours(entry);
        break;
    case Prop::Value:
        if (auto* box = dynamic_cast<ModelCheckBox*>(w))
            box->show_state(c.value() == 1   ? Qt::Checked
                            : c.value() == 2 ? Qt::PartiallyChecked
                                             : Qt::Unchecked);
        break;
    case Prop::Geometry: {
        const QRect r = to_pixels(c.rect(), c.kind(), ppt_);
        w->setGeometry(r);
        if (auto* line = dynamic_cast<LineWidget*>(w)) {
            const Rect t = c.rect();
            line->set_ends(QPoint(px(t.left, ppt_), px(t.top, ppt_)) - r.topLeft(),
                           QPoint(px(t.width, ppt_), px(t.height, ppt_)) - r.topLeft());
        }
        // Captions wrap to the width.
        if (c.kind() == ControlKind::Button || c.kind() == ControlKind::TickBox) sync_text(entry);
        break;
    }
    default:
        break;
    }
}

void WindowView::sync_text(Entry& entry) {
    Control& c = *entry.control;
    QWidget* w = entry.widget;
    switch (c.kind()) {
    case ControlKind::Label:
        static_cast<QLabel*>(w)->setText(qs(c.caption()));
        return;
    case ControlKind::TickBox: {
        // Captions wrap beside the box, as a tall narrow tick box is laid out for.
        auto* box = static_cast<QCheckBox*>(w);
        const int beside = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
                           box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        QString lines;
        box->setFont(fitting_font(control_font(c.font()), qs(c.caption()), box->width() - beside, box->height(), lines));
        box->setText(lines);
        return;
    }
    case ControlKind::Button: {
        auto* button = static_cast<QPushButton*>(w);
        QString lines;
        button->setFont(fitting_font(control_font(c.font()), qs(c.caption()), button->width() - kButtonTextMargin,
                                     button->height(), lines));
        button->setText(lines);
        return;
    }
    case ControlKind::TextBox:
        break;
    default:
        return;
    }
    // The user's typing runs ahead of the model: edits are posted and come
    // back one by one. Until the last one is back the widget already shows
    // more than the model, and must not be set back.
    auto& pending = entry.pending_edits;
    if (!pending.empty()) {
        auto it = std::find(pending.begin(), pending.end(), c.text());
        if (it == pending.end()) {
            pending.clear();  // a handler wrote the box: the model's text wins
        } else {
            pending.erase(pending.begin(), it + 1);
            if (!pending.empty()) return;
        }
    }
    syncing_ = true;
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        const QString t = qs(one_line(c.text()));
        if (line->text() != t) {
            const int cursor = line->cursorPosition();
            line->setText(t);
            line->setCursorPosition(std::min<int>(cursor, static_cast<int>(t.size())));
        }
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
        const QString t = qs(c.text());
        if (text->toPlainText() != t) text->setPlainText(t);
    }
    syncing_ = false;
}

void WindowView::apply_accessible_names() {
    for (auto& e : entries_) {
        const QString name = qs(accessible_name(model_, *e->control));
        if (e->widget->accessibleName() != name) e->widget->setAccessibleName(name);
    }
}

void WindowView::text_edited(Entry& entry, const QString& text) {
    std::string s = text.toStdString();
    entry.pending_edits.push_back(s);
    model_.post_edit(*entry.control, std::move(s));
}

void WindowView::apply_colours(Entry& entry) {
    Control& c = *entry.control;
    QWidget* w = entry.widget;
    QPalette p = canvas_->palette();
    const auto back = c.back_colour();
    const auto fore = c.fore_colour();
    switch (c.kind()) {
    case ControlKind::Label:
    case ControlKind::TickBox:
        w->setAutoFillBackground(back.has_value());
        if (back) set_role(p, QPalette::Window, to_qcolor(*back), true);
        if (fore) set_role(p, QPalette::WindowText, to_qcolor(*fore), false);
        break;
    case ControlKind::Button:
        if (back) set_role(p, QPalette::Button, to_qcolor(*back), true);
        if (fore) set_role(p, QPalette::ButtonText, to_qcolor(*fore), false);
        break;
    case ControlKind::TextBox:
        // A disabled box keeps its colour too (the inactive action boxes are #E0E0E0).
        if (back) set_role(p, QPalette::Base, to_qcolor(*back), true);
        if (fore) set_role(p, QPalette::Text, to_qcolor(*fore), false);
        break;
    case ControlKind::Line:
        if (fore) set_role(p, QPalette::WindowText, to_qcolor(*fore), true);
        break;
    case ControlKind::Timer:
        break;
    }
    w->setPalette(p);
}

void WindowView::set_tab_order() {
    for (auto& e : entries_) {
        if (e->control->tab_index() >= 0)
            e->widget->setFocusPolicy(Qt::StrongFocus);
        else if (e->control->kind() == ControlKind::TextBox)
            e->widget->setFocusPolicy(Qt::ClickFocus);
        else
            e->widget->setFocusPolicy(Qt::NoFocus);
    }
    const std::vector<Control*> order = model_.focus_order();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(by_control_.at(order[i - 1])->widget, by_control_.at(order[i])->widget);
}

void WindowView::focus_first() {
    if (Control* first = model_.first_focus()) by_control_.at(first)->widget->setFocus(Qt::TabFocusReason);
}

// --- The window itself ---

QMargins WindowView::frame_margins() const {
    const QWindow* handle = form_->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

QSize WindowView::client_size() const {
    const QMargins m = applied_margins_;
    return QSize(std::max(1, px(model_.width(), ppt_) - m.left() - m.right()),
                 std::max(1, px(model_.height(), ppt_) - m.top() - m.bottom()));
}

void WindowView::apply_geometry() {
    applying_geometry_ = true;
    applied_margins_ = frame_margins();
    const QSize client = client_size();
    canvas_->setGeometry(0, 0, client.width(), client.height());
    apply_status();
    applied_pos_ = visible_position();
    form_->move(applied_pos_);
    model_.shown_at(PixelPoint{applied_pos_.x(), applied_pos_.y()}, ppt_);
    applying_geometry_ = false;
}

void WindowView::refit_to_frame() {
    // The window manager tells the frame's size only once the window is mapped;
    // the outer size the model holds stays the same, the client shrinks.
    if (closed_ || frame_margins() == applied_margins_) return;
    applying_geometry_ = true;
    applied_margins_ = frame_margins();
    const QSize client = client_size();
    canvas_->setGeometry(0, 0, client.width(), client.height());
    apply_status();
    applying_geometry_ = false;
}

QPoint WindowView::visible_position() const {
    // The model keeps the position it was given (and saves it at close); only
    // the shown position is brought onto a screen. A move the user makes
    // afterwards is a real move and goes to the model as usual.
    std::vector<PixelRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->availableGeometry();
        screens.push_back(PixelRect{r.x(), r.y(), r.width(), r.height()});
    }
    const PixelRect asked{px(model_.left(), ppt_), px(model_.top(), ppt_), px(model_.width(), ppt_),
                          form_->height() + applied_margins_.top() + applied_margins_.bottom()};
    const PixelRect shown = place_on_screens(asked, screens);
    return QPoint(shown.x, shown.y);
}

void WindowView::apply_status() {
    const QSize client = canvas_->size();
    int strip_height = 0;
    const std::string& status = shown_status(model_);
    if (status.empty()) {
        strip_->hide();
    } else {
        strip_->setText(qs(status));
        const int line = strip_->fontMetrics().lineSpacing();
        strip_height = std::clamp(strip_->heightForWidth(client.width()), line + 6, 4 * line + 6);
        strip_->setGeometry(0, client.height(), client.width(), strip_height);
        strip_->show();
    }
    form_->setFixedSize(client.width(), client.height() + strip_height);
}

void WindowView::user_moved() {
    if (applying_geometry_ || closed_ || !form_->isVisible()) return;
    refit_to_frame();
    // Only reported: whether this is the user's move or the window manager
    // still placing the window is the model's decision.
    const QPoint p = form_->pos();
    model_.reported_at(PixelPoint{p.x(), p.y()});
}

void WindowView::user_closes() {
    if (!closed_) model_.post_close();
}

void WindowView::show() {
    if (closed_) return;
    // The window manager's placement starts now.
    model_.shown_at(PixelPoint{applied_pos_.x(), applied_pos_.y()}, ppt_);
    form_->show();
    model_.set_handle(QtTopmost::handle_of(form_));
    focus_first();
}

void WindowView::open_modal_child() {
    Window* child = model_.modal_child();
    if (!child) return;
    if (child_) retire_child();
    child_ = std::make_unique<WindowView>(*child, this);
    child_->set_status_hint(strip_->toolTip());
    child_->on_closed = [this] { retire_child(); };
    child_->show();
}

void WindowView::retire_child() {
    // We are inside the child's own change notification: let it finish first.
    release_later(std::move(child_), model_.scheduler());
}

void WindowView::model_closed() {
    closed_ = true;
    model_.unobserve(observer_);
    model_.set_handle(0);
    form_->accept_close = true;
    form_->hide();
    if (on_closed) on_closed();
}

}  // namespace vqd::qt
