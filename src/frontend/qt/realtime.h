// Real time for the scheduler on Qt's event loop.
//
// QtClock's wait keeps the windows painting: it runs a nested event loop.
// User input (clicks, keys, close requests) is taken there as anywhere else:
// the widgets hand it to the window model, whose scheduler only queues it
// while a handler runs, so the waiting handler stays the only handler that
// runs, and what the user did during the wait runs as soon as it returns,
// before the timer ticks held meanwhile. Timers and posted events fire inside
// that loop too; the scheduler refuses to run anything while busy, so the
// driver's own timer firing there is harmless.
//
// SchedulerDriver arms one precise single-shot timer for the scheduler's next
// due time and runs what is due when it fires.
#pragma once

#include "model/scheduler.h"

#include <QElapsedTimer>
#include <QTimer>

namespace vqd::qt {

class QtClock final : public Clock {
public:
    QtClock();
    std::int64_t now_ms() const override;
    void wait_ms(int ms) override;

private:
    QElapsedTimer started_;
};

class SchedulerDriver {
public:
    explicit SchedulerDriver(Scheduler& scheduler);
    ~SchedulerDriver();
    SchedulerDriver(const SchedulerDriver&) = delete;
    SchedulerDriver& operator=(const SchedulerDriver&) = delete;

    // Look at the scheduler's next due time again and arm the timer for it.
    void arm();
    // Run what is due now instead of at the timer's next turn, unless a
    // handler runs (its wait holds everything, and the outer call runs it
    // once the handler returns).
    void run_now();

private:
    void fire();

    Scheduler& scheduler_;
    QTimer timer_;
};

}  // namespace vqd::qt
