#include "frontend/qt/dbus_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <optional>
#include <utility>

namespace vqd::qt {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A service that is there answers within milliseconds; one that hangs must
// not keep the next notification of its kind waiting for D-Bus's 25 s.
constexpr int kCallTimeoutMs = 5000;
}  // namespace

// Shared with the reply handlers, which may run after the notifier is gone
// (they then find `alive` false and do nothing).
struct DBusNotifier::Impl {
    struct Text {
        std::string summary, body;
    };
    struct Kind {
        quint32 id = 0;                // the service's id of the last one shown, 0 for none
        bool in_flight = false;        // a call waits for its reply
        std::optional<Text> waiting;   // the latest text asked for meanwhile
    };
    std::string app_name, icon_name;
    std::function<void(const std::string&, const std::string&)> fallback;
    std::map<std::string, Kind> kinds;
    bool alive = true;

    void fall_back(const Text& t) {
        if (fallback) fallback(t.summary, t.body);
    }

    void send(const std::shared_ptr<Impl>& self, const std::string& kind, const Text& text) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            fall_back(text);
            return;
        }
        Kind& k = kinds[kind];
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QString::fromStdString(app_name));
        call << QString::fromStdString(app_name) << k.id << QString::fromStdString(icon_name)
             << QString::fromStdString(text.summary) << QString::fromStdString(text.body) << QStringList() << hints
             << qint32(-1);
        k.in_flight = true;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [self, kind, text](QDBusPendingCallWatcher* w) {
                             w->deleteLater();
                             if (!self->alive) return;
                             self->replied(self, kind, text, QDBusPendingReply<quint32>(*w));
                         });
    }

    void replied(const std::shared_ptr<Impl>& self, const std::string& kind, const Text& text,
                 const QDBusPendingReply<quint32>& reply) {
        Kind& k = kinds[kind];
        k.in_flight = false;
        if (reply.isError()) {
            // The id of a service that failed means nothing to the next one.
            k.id = 0;
            fall_back(text);
        } else {
            k.id = reply.value();
        }
        if (k.waiting) {
            Text next = std::move(*k.waiting);
            k.waiting.reset();
            send(self, kind, next);
        }
    }
};

DBusNotifier::DBusNotifier(std::string app_name, std::string icon_name,
                           std::function<void(const std::string& summary, const std::string& body)> fallback)
    : impl_(std::make_shared<Impl>()) {
    impl_->app_name = std::move(app_name);
    impl_->icon_name = std::move(icon_name);
    impl_->fallback = std::move(fallback);
}

DBusNotifier::~DBusNotifier() { impl_->alive = false; }

void DBusNotifier::notify(const std::string& kind, const std::string& summary, const std::string& body) {
    Impl::Kind& k = impl_->kinds[kind];
    if (k.in_flight) {
        // Sent once the service has told the id of the one before, so it
        // replaces that one instead of standing beside it.
        k.waiting = Impl::Text{summary, body};
        return;
    }
    impl_->send(impl_, kind, Impl::Text{summary, body});
}

}  // namespace vqd::qt
