#include "frontend/qt/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace vqd::qt {

SessionEnd::SessionEnd(Window& main, int signal_fd, std::function<void()> drain, std::function<void()> run_now)
    : main_(main), drain_(std::move(drain)), run_now_(std::move(run_now)) {
    if (signal_fd >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(signal_fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            if (drain_) drain_();
            end();
        });
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // The session manager asks before the logout; the data this program
        // keeps is what its close saves, so it closes now, before Qt answers
        // the manager, rather than be killed later with nothing saved.
        logout_ = QObject::connect(app, &QGuiApplication::commitDataRequest, [this](QSessionManager&) { end(); });
    }
}

SessionEnd::~SessionEnd() { QObject::disconnect(logout_); }

void SessionEnd::end() {
    if (main_.closed()) return;
    main_.post_session_end();
    run_now_();
}

}  // namespace vqd::qt
