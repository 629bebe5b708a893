#include "model/scheduler.h"

#include "model/control.h"
#include "model/virtual_clock.h"
#include "model/window.h"

#include <algorithm>
#include <stdexcept>

namespace vqd {

Scheduler::Scheduler(Clock& clock) : clock_(clock) {}

Scheduler::TimerEntry* Scheduler::find(const Control& timer) {
    for (auto& e : timers_)
        if (e.timer == &timer) return &e;
    return nullptr;
}

void Scheduler::timer_changed(Control& timer) {
    const bool active = timer.enabled() && timer.interval() > 0;
    TimerEntry* entry = find(timer);
    if (!active) {
        if (entry) timers_.remove_if([&](const TimerEntry& e) { return e.timer == &timer; });
        return;
    }
    const auto now = clock_.now_ms();
    if (entry && entry->interval == timer.interval()) return;  // already running as asked
    if (entry) timers_.remove_if([&](const TimerEntry& e) { return e.timer == &timer; });
    TimerEntry& started =
        timers_.emplace_back(TimerEntry{&timer, now, timer.interval(), now + timer.interval(), ++order_, std::nullopt});
    if (const Control* leader = leader_of(timer))
        if (const TimerEntry* lead = find(*leader)) align(started, *lead, now + 1);
    // A restarted leader takes its followers along.
    for (auto [follower, leader] : shared_)
        if (leader == &timer)
            if (TimerEntry* f = find(*follower)) align(*f, started, f->next);
    wake();
}

const Control* Scheduler::leader_of(const Control& timer) const {
    for (auto [follower, leader] : shared_)
        if (follower == &timer) return leader;
    return nullptr;
}

// The follower's next tick moves to the leader's first grid point at or after
// `not_before`; nothing changes when their Intervals differ.
void Scheduler::align(TimerEntry& follower, const TimerEntry& leader, std::int64_t not_before) {
    if (follower.interval != leader.interval) return;
    const std::int64_t i = leader.interval;
    const std::int64_t steps = not_before <= leader.origin ? 0 : (not_before - leader.origin + i - 1) / i;
    follower.origin = leader.origin;
    follower.next = leader.origin + steps * i;
}

void Scheduler::share_grid(const Control& timer, const Control& leader) {
    std::erase_if(shared_, [&](const auto& s) { return s.first == &timer; });
    shared_.emplace_back(&timer, &leader);
}

void Scheduler::forget(const Control& control) {
    std::erase_if(shared_, [&](const auto& s) { return s.first == &control || s.second == &control; });
    timers_.remove_if([&](const TimerEntry& e) { return e.timer == &control; });
    inputs_.remove_if([&](const InputEntry& e) { return e.target == &control; });
}

void Scheduler::forget(const Window& window) {
    std::erase_if(shared_, [&](const auto& s) {
        return &s.first->window() == &window || &s.second->window() == &window;
    });
    timers_.remove_if([&](const TimerEntry& e) { return &e.timer->window() == &window; });
    inputs_.remove_if([&](const InputEntry& e) { return e.window == &window; });
}

void Scheduler::post_input(Window& window, Control* target, std::string event, std::function<void()> action,
                           std::function<void()> dropped) {
    inputs_.push_back(InputEntry{&window, target, std::move(event), std::move(action), std::move(dropped), false});
    wake();
}

void Scheduler::post_system(Window& window, std::string event, std::function<void()> action) {
    inputs_.push_back(InputEntry{&window, nullptr, std::move(event), std::move(action), {}, true});
    wake();
}

void Scheduler::collect_due(std::int64_t now) {
    for (auto& e : timers_) {
        if (e.next > now) continue;
        if (!e.held) e.held = e.next;
        // Skip every grid point that passed: a timer sets a flag, it does not queue.
        const auto passed = (now - e.origin) / e.interval;
        e.next = e.origin + (passed + 1) * e.interval;
    }
}

void Scheduler::dispatch(Window& owner, Control* control, const std::string& event,
                         const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        owner.handler_failed(control, event, error);
        return;
    }
    owner.handler_succeeded(control, event);
}

bool Scheduler::run_handler(Window& owner, Control* control, const std::string& event,
                            const std::function<void()>& handler) {
    if (running_) return false;
    running_ = true;
    dispatch(owner, control, event, handler);
    running_ = false;
    return true;
}

bool Scheduler::deliver_one() {
    collect_due(clock_.now_ms());

    // Input before held ticks, as a message queue gives timer ticks the lowest priority.
    if (!inputs_.empty()) {
        InputEntry input = std::move(inputs_.front());
        inputs_.pop_front();
        const bool wanted = input.from_system ? !input.window->closed()
                                              : input.window->accepts_input() &&
                                                    (input.target == nullptr || input.target->enabled());
        if (wanted) {
            running_ = true;
            dispatch(*input.window, input.target, input.event, input.action);
            running_ = false;
        } else if (input.dropped) {
            input.dropped();
        }
        return true;
    }

    const TimerEntry* best_timer = nullptr;
    for (const auto& e : timers_) {
        if (!e.held) continue;
        if (!best_timer || *e.held < *best_timer->held ||
            (*e.held == *best_timer->held && e.order < best_timer->order))
            best_timer = &e;
    }
    if (!best_timer) return false;

    Control* timer = best_timer->timer;
    for (auto& e : timers_)
        if (e.timer == timer) e.held.reset();
    if (timer->on_timer) {
        running_ = true;
        dispatch(timer->window(), timer, "Timer", timer->on_timer);
        running_ = false;
    }
    return true;
}

void Scheduler::wait(int ms) {
    clock_.wait_ms(ms);
    collect_due(clock_.now_ms());
}

std::optional<std::int64_t> Scheduler::earliest_due() const {
    if (!inputs_.empty()) return clock_.now_ms();
    std::optional<std::int64_t> best;
    for (const auto& e : timers_) {
        const auto t = e.held ? clock_.now_ms() : e.next;
        if (!best || t < *best) best = t;
    }
    return best;
}

std::optional<std::int64_t> Scheduler::next_due() const {
    const auto first = earliest_due();
    if (!first || *first <= clock_.now_ms()) return first;
    // Nothing is due yet: wake once for every tick that falls due close after the first.
    std::int64_t last = *first;
    for (const auto& e : timers_)
        if (e.next <= *first + kCoalesceMs) last = std::max(last, e.next);
    return last;
}

void Scheduler::run_due() {
    if (running_) return;
    while (deliver_one()) {
    }
}

void Scheduler::advance(std::int64_t ms) {
    auto* vclock = dynamic_cast<VirtualClock*>(&clock_);
    if (!vclock) throw std::logic_error("Scheduler::advance needs a virtual clock");
    if (running_) return;
    const auto target = clock_.now_ms() + ms;
    for (;;) {
        run_due();
        const auto first = earliest_due();
        if (!first || *first > target) break;
        // Where the program would wake, unless that is past the end asked for.
        vclock->set(std::min(*next_due(), target));
    }
    vclock->set(target);
}

std::optional<std::int64_t> Scheduler::timer_due(const Control& timer) const {
    for (const auto& e : timers_)
        if (e.timer == &timer) return e.held ? *e.held : e.next;
    return std::nullopt;
}


void Scheduler::wake() {
    if (wakeup_) wakeup_();
}

}  // namespace vqd
