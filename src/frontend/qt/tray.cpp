#include "frontend/qt/tray.h"

#include "windows/extras_window.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace vqd::qt {

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }

// The program's icon with a red dot in its lower right corner: seen at 16
// pixels in a crowded notification area.
QIcon with_cue_dot(const QIcon& icon) {
    QIcon out;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pm = icon.pixmap(size, size);
        if (pm.isNull()) {
            pm = QPixmap(size, size);
            pm.fill(Qt::black);
        }
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const int d = size / 2;
        p.setPen(QPen(Qt::white, std::max(1, size / 16)));
        p.setBrush(QColor(0xE0, 0x10, 0x10));
        p.drawEllipse(size - d - 1, size - d - 1, d, d);
        out.addPixmap(pm);
    }
    return out;
}

}  // namespace

Tray::Tray(ExtrasMonitor& monitor, WindowView& main_view) : monitor_(monitor), main_view_(main_view) {
    plain_ = QApplication::windowIcon();
    if (plain_.isNull()) {
        QPixmap pm(32, 32);
        pm.fill(Qt::black);
        plain_ = QIcon(pm);
    }
    cued_ = with_cue_dot(plain_);
    icon_.setIcon(plain_);
    icon_.setContextMenu(&menu_);
    QObject::connect(&menu_, &QMenu::aboutToShow, [this] { rebuild_menu(); });
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger) toggle_main_window();
        // A double click's second press comes only as DoubleClick: the user wants the window.
        if (why == QSystemTrayIcon::DoubleClick && main_view_.window() && !main_view_.window()->isVisible())
            toggle_main_window();
    });
    monitor_.on_message = [this](const std::string& text) {
        if (icon_.isVisible())
            icon_.showMessage(qs(monitor_.services().executable.name()), qs(text), QSystemTrayIcon::Warning, 10000);
    };
    monitor_.on_extras_opened = [this](ExtrasWindow& window) { show_extras(window); };

    if (QWidget* canvas = main_view_.canvas()) {
        canvas->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(canvas, &QWidget::customContextMenuRequested,
                         [this, canvas](const QPoint& at) {
                             if (at.y() < title_band_bottom_twips(main_view_.model()) * main_view_.pixels_per_twip())
                                 title_band_menu(canvas->mapToGlobal(at));
                         });
    }
    // The tooltip's ages move on by themselves, and a notification area may
    // appear after the program started: look again every second.
    refresh_timer_.setInterval(1000);
    QObject::connect(&refresh_timer_, &QTimer::timeout, [this] { refresh(); });
    refresh_timer_.start();
    refresh();
}

Tray::~Tray() {
    monitor_.on_message = nullptr;
    monitor_.on_extras_opened = nullptr;
    icon_.hide();
}

void Tray::refresh() {
    const bool wanted = monitor_.tray_icon_wanted() && !main_view_.closed();
    if (!wanted || !QSystemTrayIcon::isSystemTrayAvailable()) {
        if (icon_.isVisible()) icon_.hide();
        return;
    }
    const bool cue = monitor_.cue_raised();
    if (cue != showing_cue_ || !icon_.isVisible()) {
        icon_.setIcon(cue ? cued_ : plain_);
        showing_cue_ = cue;
    }
    icon_.setToolTip(qs(monitor_.tooltip()));
    if (!icon_.isVisible()) icon_.show();
}

void Tray::toggle_main_window() {
    QWidget* w = main_view_.window();
    if (!w) return;
    if (w->isVisible() && !w->isMinimized()) {
        w->hide();
        return;
    }
    w->showNormal();
    w->raise();
    w->activateWindow();
}

void Tray::rebuild_menu() {
    menu_.clear();
    QWidget* w = main_view_.window();
    QAction* show_hide = menu_.addAction(w && w->isVisible() ? QStringLiteral("Hide") : QStringLiteral("Show"));
    QObject::connect(show_hide, &QAction::triggered, [this] { toggle_main_window(); });
    menu_.addSeparator();
    auto items = monitor_.tray_menu();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i + 2 == items.size()) menu_.addSeparator();
        QAction* a = menu_.addAction(qs(items[i].caption));
        a->setEnabled(items[i].enabled);
        QObject::connect(a, &QAction::triggered, [activate = items[i].activate] { activate(); });
    }
}

void Tray::title_band_menu(const QPoint& at) {
    rebuild_menu();
    menu_.popup(at);
}

void Tray::show_extras(ExtrasWindow& window) {
    if (extras_view_ && &extras_view_->model() == &window && extras_view_->window()) {
        extras_view_->window()->raise();
        extras_view_->window()->activateWindow();
        return;
    }
    if (extras_view_) {
        WindowView* old = extras_view_.release();
        QTimer::singleShot(0, qApp, [old] { delete old; });
    }
    extras_view_ = std::make_unique<WindowView>(window);
    extras_view_->set_status_hint(main_view_.status_strip()->toolTip());
    extras_view_->on_closed = [this] {
        // Inside the window's own close notification: let it finish first.
        WindowView* dead = extras_view_.release();
        QTimer::singleShot(0, qApp, [dead] { delete dead; });
        refresh();
    };
    extras_view_->show();
}

}  // namespace vqd::qt
