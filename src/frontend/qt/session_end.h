// The end of the desktop session, for the Qt program: a logout (the session
// manager asks the program to save its data) or a termination signal closes
// the main window through its normal close handling, as the user's close
// would: an open modal window is closed as cancelled first, the position and
// options are saved, and the program ends when the window is gone.
//
// The close takes its turn with the user's input: if a handler is waiting
// when the session ends, the window closes right after it returns.
#pragma once

#include "model/window.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace vqd::qt {

class SessionEnd {
public:
    // `signal_fd` becomes readable when a termination signal arrived; `drain`
    // reads it empty. Pass -1 to watch the session manager only.
    SessionEnd(Window& main, int signal_fd, std::function<void()> drain);
    ~SessionEnd();
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

private:
    void end();

    Window& main_;
    std::function<void()> drain_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection logout_;
};

}  // namespace vqd::qt
