// Real time for the scheduler on Windows: GetTickCount64, and a wait that keeps
// the windows alive.
//
// While a handler waits, every message that arrives is taken from the queue
// and dispatched at once, input included: a click or a close request reaches
// the scheduler the moment it is made, and post_input() only queues it (the
// scheduler runs nothing while a handler runs). When the handler returns, the
// scheduler runs that input before the ticks held during the wait, as a
// program sleeping on its UI thread would find the click at the head of its
// queue and its timer ticks behind it.
//
// The wait wakes for input, posted, sent and paint messages, not for timers:
// the scheduler driver's own timer keeps firing while a tick is held, and
// each of its messages would only find the scheduler busy.
//
// wait_for() is the same wait, ended by a kernel object (a thread that ends,
// an event) instead of the time: a handler step that must block on work done
// off the UI thread (starting a process) waits there, and to the user it is
// one more wait of the handler.
#pragma once

#include "model/scheduler.h"

#include <windows.h>

#include <functional>

namespace vqd {

class Win32Clock final : public Clock {
public:
    std::int64_t now_ms() const override;
    void wait_ms(int ms) override;
    // Wait as wait_ms does until `object` is signalled (at once when it is
    // already). The caller owns the handle.
    void wait_for(HANDLE object);

    // How a message taken during a wait is handed on. The default translates
    // and dispatches it; the front end sets its own, which also gives forms
    // their dialog keys (Tab), so the program's own message loop and the wait
    // treat a message alike.
    void set_dispatcher(std::function<void(MSG&)> dispatcher) { dispatcher_ = std::move(dispatcher); }

private:
    // Until GetTickCount64() reaches `end`, or, with an object, until it is signalled.
    void pump(ULONGLONG end, HANDLE object);

    std::function<void(MSG&)> dispatcher_;
};

}  // namespace vqd
