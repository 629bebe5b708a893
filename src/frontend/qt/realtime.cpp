#include "frontend/qt/realtime.h"

#include <QEventLoop>

#include <algorithm>
#include <limits>

namespace vqd::qt {

// --- Clock ---

QtClock::QtClock() { started_.start(); }

std::int64_t QtClock::now_ms() const { return started_.elapsed(); }

void QtClock::wait_ms(int ms) {
    const std::int64_t until = now_ms() + ms;
    // A timer may come back a millisecond early; the handler's pauses add up,
    // so wait out the rest rather than returning short.
    while (now_ms() < until) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(until - now_ms()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// --- Driver ---

SchedulerDriver::SchedulerDriver(Scheduler& scheduler) : scheduler_(scheduler) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
    scheduler_.set_wakeup([this] { arm(); });
}

SchedulerDriver::~SchedulerDriver() { scheduler_.set_wakeup({}); }

void SchedulerDriver::arm() {
    const auto due = scheduler_.next_due();
    if (!due) {
        timer_.stop();
        return;
    }
    const std::int64_t delay = std::clamp<std::int64_t>(*due - scheduler_.now(), 0, std::numeric_limits<int>::max());
    timer_.start(static_cast<int>(delay));
}

void SchedulerDriver::run_now() { fire(); }

void SchedulerDriver::fire() {
    // Inside a handler's wait: what is due is held by the scheduler and the
    // outer call re-arms once the handler has returned. Re-arming here would
    // spin a zero-delay timer for the whole wait.
    if (scheduler_.busy()) return;
    scheduler_.run_due();
    arm();
}

}  // namespace vqd::qt
