// The end of the desktop session, for the Qt program: a logout (the session
// manager asks the program to save its data) or a termination signal closes
// the main window through its normal close handling, as the user's close
// would: an open modal window is closed as cancelled first, the position and
// options are saved, and the program ends when the window is gone.
//
// The close takes its turn with the user's input: if a handler is waiting
// when the session ends, the window closes right after it returns. Otherwise
// it runs at once, before the session manager gets its answer: once every
// program has answered, the manager may end the session (and the X
// connection) without waiting any longer.
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
    // reads it empty. Pass -1 to watch the session manager only. `run_now`
    // runs what the scheduler has due at once when no handler runs (the
    // driver's run_now()).
    SessionEnd(Window& main, int signal_fd, std::function<void()> drain, std::function<void()> run_now);
    ~SessionEnd();
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

private:
    void end();

    Window& main_;
    std::function<void()> drain_;
    std::function<void()> run_now_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection logout_;
};

}  // namespace vqd::qt
