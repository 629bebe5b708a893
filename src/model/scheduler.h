// The one scheduler of the program: it owns every timer, every input event and
// every wait, and runs one handler at a time on the calling thread.
//
// Semantics (each is tested on the virtual clock):
//
// * Timers. An enabled timer with an Interval above 0 ticks once per Interval;
//   its first tick falls due one Interval after it was enabled (or after its
//   Interval was changed while enabled, which restarts it). Interval 0 never
//   ticks. Disabling a timer cancels its pending tick. Enabling a timer that is
//   already enabled changes nothing.
//
// * Waits. A handler may call wait(ms). Time passes, but no other handler runs:
//   ticks that fall due meanwhile are held and delivered after the running
//   handler returns, each timer at most once however many Intervals passed (no
//   burst, as a platform timer sets a flag rather than queuing messages). A held
//   tick keeps its timer's grid: the next one falls due at the first multiple of
//   the Interval (counted from the enabling) after the held one is delivered.
//
// * Input. Clicks, edits and close requests are posted with post_input(). They
//   run at once when nothing else runs, otherwise after the running handler, in
//   the order they arrived. A front end hands each input to the scheduler the
//   moment it arrives, also while a handler waits; post_input() then only
//   queues it (nothing runs inside a wait). An input whose control is disabled
//   (or whose window is closed or covered by a modal window) when its turn
//   comes is dropped, as a platform message queue would drop a click on a
//   disabled button; its `dropped` callback then lets a front end that showed
//   the input early (typed text) show the model again. Each input carries its
//   event's name, so a failure is reported as that control's click or that
//   window's close. The end of the session (post_system) queues like input
//   but only a closed window drops it.
//
// * Order. Queued input runs before held ticks: when a handler returns, every
//   input that arrived while it ran (during a wait or otherwise) runs first, in
//   the order it arrived, and only then the ticks held meanwhile. This is how
//   a platform message queue behaves, where a timer tick is a low-priority
//   message produced only when no other message waits. Held ticks are
//   delivered in the order they fell due; ties between timers go to the one
//   enabled first.
//
// * One wake-up for ticks close together. Ticks that fall due within
//   kCoalesceMs of the earliest pending one are delivered together:
//   next_due() gives the last due time of that group, so a front end wakes
//   once for all of them, and each is delivered at most kCoalesceMs late,
//   never early. They are held ticks by then, so the order rules above hold
//   among them (in the order they fell due; input first). advance() does the
//   same on virtual time, except that it never moves the clock past the time
//   it was asked for: a group that straddles that end delivers its early part
//   there.
//
// * Shared grids. share_grid(timer, leader) puts a timer on another timer's
//   grid whenever both run with the same Interval: enabling it (or changing
//   its Interval) makes its first tick fall due at the leader's next grid
//   point instead of one Interval later, and a leader that restarts takes it
//   along, its pending tick put off to the leader's first grid point at or
//   after it (never sooner). Work that only needs to happen about once a
//   second thus shares one wake-up a second with the leader.
//
// * Failures. A handler that throws ends at that step; what it changed stays
//   changed; the scheduler passes the exception to the window that owns the
//   control (Window::handler_failed) and goes on with the next event.
//
// Driving it:
//   - Tests use VirtualClock (model/virtual_clock.h) and advance(): all that
//     falls due in the interval runs, in order, on virtual time.
//   - A front end asks next_due() for the time of the next event, arms a
//     real timer for it and calls run_due() when it fires; set_wakeup() tells it
//     when something new was scheduled. Its Clock::wait_ms keeps the window
//     painting while a handler waits.
//
// Traps:
//   - run_due() and advance() do nothing while a handler runs (busy()). A front
//     end whose wait runs a nested event loop will see its real timer fire
//     inside the wait; that call must be (and is) a no-op.
//   - wait() outside a handler still advances time but there is nothing to hold
//     back; tests should wait inside handlers only.
//   - A handler that re-enables its own timer restarts that timer's grid.
//   - A timer whose handler always waits longer than its Interval and never
//     disables itself is due again every time it returns: run_due() and
//     advance() then never return, just as the program would never be idle.
//     One-shot handlers disable their timer at the end, and a failed one is
//     disabled by the window's error path.
//   - Destroying a control forgets its timer and its pending input; closing a
//     window therefore ends its timers (its controls die with it).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace vqd {

class Control;
class Window;

// Time for the scheduler, in milliseconds on a monotonic scale.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t now_ms() const = 0;
    // Block the calling handler for ms milliseconds. A real clock keeps the
    // windows painting meanwhile; the virtual clock just moves time on.
    virtual void wait_ms(int ms) = 0;
};

class Scheduler {
public:
    // Ticks due this close together are delivered in one wake-up (see above).
    static constexpr std::int64_t kCoalesceMs = 5;

    explicit Scheduler(Clock& clock);
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    Clock& clock() const { return clock_; }
    std::int64_t now() const { return clock_.now_ms(); }

    // Called by timer controls whenever their Enabled flag or Interval changes.
    void timer_changed(Control& timer);
    // Keep `timer` on `leader`'s grid while both run with the same Interval
    // (see Shared grids above). A timer follows at most one leader.
    void share_grid(const Control& timer, const Control& leader);
    // Called when a control dies: its timer and pending input are forgotten.
    void forget(const Control& control);
    void forget(const Window& window);

    // Input from a front end or a test. `target` decides whether the input is
    // still wanted when its turn comes (see Input above); `window` is the
    // window it belongs to, for input that has no control (a close request).
    // `event` names the handler's event for the error path ("Click", or the
    // window's own close). `dropped` runs, outside any handler, when the input
    // is dropped, so a front end that showed it early can show the model again.
    void post_input(Window& window, Control* target, std::string event, std::function<void()> action,
                    std::function<void()> dropped = {});
    // A request from the system rather than the user (the session ends): it
    // takes its turn with the input, but a modal window does not drop it; only
    // a closed window does.
    void post_system(Window& window, std::string event, std::function<void()> action);

    // Run a handler now as the one running handler (the start-up load, for
    // instance). Returns false, running nothing, when another handler runs.
    bool run_handler(Window& owner, Control* control, const std::string& event,
                     const std::function<void()>& handler);

    // Inside a handler: let ms milliseconds pass without running any other handler.
    void wait(int ms);

    bool busy() const { return running_; }
    std::optional<std::int64_t> next_due() const;
    // Run everything that is due at the clock's present time, one at a time.
    void run_due();

    // Front ends: called whenever the next due time may have moved earlier.
    void set_wakeup(std::function<void()> wakeup) { wakeup_ = std::move(wakeup); }

    // Virtual time only: run everything that falls due up to now + ms.
    // The clock must be a VirtualClock.
    void advance(std::int64_t ms);

    // For tests and diagnostics: the time a timer will next tick, if enabled.
    std::optional<std::int64_t> timer_due(const Control& timer) const;

private:
    struct TimerEntry {
        Control* timer;
        std::int64_t origin;   // when the grid started
        int interval;
        std::int64_t next;     // next grid point not yet fallen due
        std::uint64_t order;   // enabling order, for ties
        std::optional<std::int64_t> held;  // fell due at this time, not yet delivered
    };
    struct InputEntry {
        Window* window;
        Control* target;
        std::string event;
        std::function<void()> action;
        std::function<void()> dropped;
        bool from_system;
    };

    void collect_due(std::int64_t now);
    std::optional<std::int64_t> earliest_due() const;
    void align(TimerEntry& follower, const TimerEntry& leader, std::int64_t not_before);
    const Control* leader_of(const Control& timer) const;
    bool deliver_one();
    void dispatch(Window& owner, Control* control, const std::string& event, const std::function<void()>& fn);
    void wake();
    TimerEntry* find(const Control& timer);

    Clock& clock_;
    std::list<TimerEntry> timers_;
    std::list<InputEntry> inputs_;
    std::vector<std::pair<const Control*, const Control*>> shared_;  // follower, leader
    std::uint64_t order_ = 0;
    bool running_ = false;
    std::function<void()> wakeup_;
};

}  // namespace vqd
