#include "frontend/qt/tray.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

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

TrayIcon::TrayIcon() {
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
        if (!on_click) return;
        if (why == QSystemTrayIcon::Trigger) on_click(TrayClick::Primary);
        if (why == QSystemTrayIcon::DoubleClick) on_click(TrayClick::Double);
    });
    // Asking whether a notification area exists costs a round trip to the X
    // server while there is none, which once a second would wake the program
    // for nothing. Qt's X11 support watches the area's selection and window
    // and says when either changes (its native interface's
    // systemTrayWindowChanged, which has no typed form to connect to); only
    // then is the question asked again. Elsewhere it is asked at every show().
    area_changed_.setSingleShot(true);
    area_changed_.setInterval(0);
    QObject::connect(&area_changed_, &QTimer::timeout, [this] { area_known_ = false; });
    // The native interface derives from QObject alone (its first and only base).
    if (auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
        native && native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0)
        area_watch_ = QObject::connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), &area_changed_, SLOT(start()));
}

TrayIcon::~TrayIcon() {
    QObject::disconnect(area_watch_);
    icon_.hide();
}

bool TrayIcon::area_available() {
    if (!area_known_) {
        area_ = QSystemTrayIcon::isSystemTrayAvailable();
        area_known_ = static_cast<bool>(area_watch_);
    }
    return area_;
}

bool TrayIcon::show(TrayPicture picture, const std::string& tooltip) {
    if (!area_available()) {
        area_seen_ = false;
        if (icon_.isVisible()) icon_.hide();
        return false;
    }
    // An area that went away and came back (its host restarted) has not
    // heard of an icon Qt still counts as visible: dock it again.
    if (!area_seen_ && icon_.isVisible()) icon_.hide();
    area_seen_ = true;
    if (picture != picture_ || !icon_.isVisible()) {
        icon_.setIcon(picture == TrayPicture::Cue ? cued_ : plain_);
        picture_ = picture;
    }
    if (icon_.toolTip() != qs(tooltip)) icon_.setToolTip(qs(tooltip));
    if (!icon_.isVisible()) icon_.show();
    return true;
}

void TrayIcon::hide() { icon_.hide(); }

void TrayIcon::popup_menu(int x, int y) {
    rebuild_menu();
    menu_.popup(QPoint(x, y));
}

void TrayIcon::show_message(const std::string& summary, const std::string& body) {
    if (icon_.isVisible()) icon_.showMessage(qs(summary), qs(body), QSystemTrayIcon::Warning, 10000);
}

void TrayIcon::rebuild_menu() {
    menu_.clear();
    if (!menu) return;
    for (auto& entry : menu()) {
        if (entry.caption.empty()) {
            menu_.addSeparator();
            continue;
        }
        QAction* a = menu_.addAction(qs(entry.caption));
        a->setEnabled(entry.enabled);
        QObject::connect(a, &QAction::triggered, [chosen = entry.chosen] {
            if (chosen) chosen();
        });
    }
}

}  // namespace vqd::qt
