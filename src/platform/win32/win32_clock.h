// Real time for the scheduler on Windows: GetTickCount64, and a wait that keeps
// the windows painting.
//
// While a handler waits, only paint messages (and messages other threads send
// to this one) are dispatched. Input - clicks, keys, close requests - and
// posted messages, the scheduler driver's WM_TIMER among them, stay in the
// thread's message queue and are handled after the handler returns, in the
// order they arrived, as a program that sleeps on its UI thread would see them.
#pragma once

#include "model/scheduler.h"

namespace vqd {

class Win32Clock final : public Clock {
public:
    std::int64_t now_ms() const override;
    void wait_ms(int ms) override;
};

}  // namespace vqd
