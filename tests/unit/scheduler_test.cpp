// The scheduler's rules, each with a case that fails if the rule is broken.
#include "model/scheduler.h"
#include "model/virtual_clock.h"
#include "model/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vqd {
namespace {

constexpr ControlDesign kInventory[] = {
    {.name = "A_TIMER", .kind = ControlKind::Timer, .enabled = false},
    {.name = "B_TIMER", .kind = ControlKind::Timer, .enabled = false},
    {.name = "SLOW_TIMER", .kind = ControlKind::Timer, .enabled = false},
    {.name = "GO_BUTTON", .kind = ControlKind::Button, .text = "Go"},
    {.name = "OTHER_BUTTON", .kind = ControlKind::Button, .text = "Other"},
    {.name = "X_TICKBOX", .kind = ControlKind::TickBox, .text = "X"},
    {.name = "Y_TICKBOX", .kind = ControlKind::TickBox, .text = "Y"},
    {.name = "NOTE_TEXTBOX", .kind = ControlKind::TextBox},
};

struct SchedulerTest : ::testing::Test {
    VirtualClock clock;
    Scheduler scheduler{clock};
    Window window{"W", scheduler, kInventory, Rect{}};
    std::vector<std::string> log;

    Control& operator[](std::string_view n) { return window[n]; }
    void record(std::string_view control, std::string what) {
        window[control].on_timer = [this, what] { log.push_back(what + "@" + std::to_string(clock.now_ms())); };
    }
    void start(std::string_view name, int interval) {
        window[name].set_interval(interval);
        window[name].set_enabled(true);
    }
};

TEST_F(SchedulerTest, TimerTicksOncePerIntervalFirstTickOneIntervalAfterEnabling) {
    record("A_TIMER", "a");
    clock.set(250);
    start("A_TIMER", 1000);
    scheduler.advance(3000);  // to 3250
    EXPECT_EQ(log, (std::vector<std::string>{"a@1250", "a@2250", "a@3250"}));
}

TEST_F(SchedulerTest, IntervalZeroNeverTicksAndSettingAnIntervalStartsTheTimer) {
    record("A_TIMER", "a");
    window["A_TIMER"].set_enabled(true);
    scheduler.advance(5000);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(scheduler.next_due().has_value());
    window["A_TIMER"].set_interval(1000);  // at 5000
    scheduler.advance(1000);
    EXPECT_EQ(log, (std::vector<std::string>{"a@6000"}));
}

TEST_F(SchedulerTest, DisablingCancelsThePendingTickAndReenablingRestartsTheGrid) {
    record("A_TIMER", "a");
    start("A_TIMER", 1000);
    scheduler.advance(900);
    window["A_TIMER"].set_enabled(false);
    scheduler.advance(500);  // 1400: the tick due at 1000 never came
    EXPECT_TRUE(log.empty());
    window["A_TIMER"].set_enabled(true);
    scheduler.advance(1000);
    EXPECT_EQ(log, (std::vector<std::string>{"a@2400"}));
}

TEST_F(SchedulerTest, EnablingAnEnabledTimerChangesNothing) {
    record("A_TIMER", "a");
    start("A_TIMER", 1000);
    scheduler.advance(700);
    window["A_TIMER"].set_enabled(true);  // no restart: still due at 1000
    EXPECT_EQ(scheduler.timer_due(window["A_TIMER"]), 1000);
    scheduler.advance(300);
    EXPECT_EQ(log, (std::vector<std::string>{"a@1000"}));
}

TEST_F(SchedulerTest, TicksMissedDuringAWaitArriveOnceAfterItInTheOrderTheyFellDue) {
    // B was enabled after A, but falls due first (500 ms grid); both miss
    // several ticks during the 7 s wait and each arrives exactly once.
    record("A_TIMER", "a");
    record("B_TIMER", "b");
    start("A_TIMER", 1000);
    clock.set(100);
    start("B_TIMER", 300);  // due at 400, before A's 1000
    window["SLOW_TIMER"].on_timer = [this] {
        log.push_back("slow-start@" + std::to_string(clock.now_ms()));
        scheduler.wait(7000);
        log.push_back("slow-end@" + std::to_string(clock.now_ms()));
        window["SLOW_TIMER"].set_enabled(false);
    };
    clock.set(200);
    start("SLOW_TIMER", 50);  // due at 250, before either
    scheduler.advance(7100);  // to 7300
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "slow-start@250");
    EXPECT_EQ(log[1], "slow-end@7250");
    EXPECT_EQ(log[2], "b@7250");  // fell due at 400
    EXPECT_EQ(log[3], "a@7250");  // fell due at 1000
    // After that, each timer keeps its grid: B next at 7300 (100 + 24*300), A at 8000.
    EXPECT_EQ(scheduler.timer_due(window["A_TIMER"]), 8000);
    EXPECT_EQ(log.size(), 5u);
    EXPECT_EQ(log[4], "b@7300");
}

TEST_F(SchedulerTest, TimersDueTogetherRunInTheOrderTheyWereEnabled) {
    record("A_TIMER", "a");
    record("B_TIMER", "b");
    start("B_TIMER", 1000);
    start("A_TIMER", 1000);
    scheduler.advance(1000);
    EXPECT_EQ(log, (std::vector<std::string>{"b@1000", "a@1000"}));
}

// Ticks close together share one wake-up, late by at most kCoalesceMs and
// never early, still in the order they fell due; a tick further off keeps
// its own. advance() never goes past the end it was given to do so.
TEST(SchedulerCoalescing, TicksDueWithinTheSlackShareOneWakeUpInTheOrderTheyFellDue) {
    static_assert(Scheduler::kCoalesceMs == 5);
    struct Case {
        std::vector<std::int64_t> advances;  // from 9 ms on
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{2001}, {"b@1000", "a@1000", "c@1009", "b@2000", "a@2000", "c@2009"}},
        // The end asked for falls inside the first group: B runs there, A not before its time.
        {{990}, {"b@999"}},
        {{990, 1}, {"b@999", "a@1000"}},
    };
    for (const auto& c : cases) {
        VirtualClock clock;
        Scheduler scheduler(clock);
        Window window("W", scheduler, kInventory, Rect{});
        std::vector<std::string> log;
        auto start = [&](std::string_view name, std::string what, std::int64_t at, int interval) {
            clock.set(at);
            window[name].on_timer = [&, what] { log.push_back(what + "@" + std::to_string(clock.now_ms())); };
            window[name].set_interval(interval);
            window[name].set_enabled(true);
        };
        start("A_TIMER", "a", 0, 1000);
        start("B_TIMER", "b", 2, 997);       // enabled after A, due before it: 999, 1996
        start("SLOW_TIMER", "c", 9, 1000);   // 1009: beyond the slack of the first group
        EXPECT_EQ(scheduler.next_due(), 1000);  // one wake-up for B and A
        for (auto ms : c.advances) scheduler.advance(ms);
        EXPECT_EQ(log, c.expected);
    }
}

// A follower takes its leader's grid when it starts, and again when the
// leader restarts, never ticking sooner than it would have; a timer with
// another Interval keeps its own.
TEST_F(SchedulerTest, ASharedGridPutsTheFollowerOnTheLeadersTicks) {
    record("A_TIMER", "lead");
    record("B_TIMER", "follow");
    record("SLOW_TIMER", "other");
    scheduler.share_grid(window["B_TIMER"], window["A_TIMER"]);
    scheduler.share_grid(window["SLOW_TIMER"], window["A_TIMER"]);
    start("A_TIMER", 1000);
    clock.set(300);
    start("B_TIMER", 1000);  // on its own grid: 1300
    start("SLOW_TIMER", 700);
    EXPECT_EQ(scheduler.timer_due(window["B_TIMER"]), 1000);
    EXPECT_EQ(scheduler.timer_due(window["SLOW_TIMER"]), 1000);
    scheduler.advance(1700);  // to 2000
    EXPECT_EQ(log, (std::vector<std::string>{"lead@1000", "follow@1000", "other@1000", "other@1700", "lead@2000",
                                             "follow@2000"}));
    log.clear();
    scheduler.advance(500);
    window["A_TIMER"].set_enabled(false);  // at 2500
    window["A_TIMER"].set_enabled(true);   // the leader's grid: 3500, 4500
    EXPECT_EQ(scheduler.timer_due(window["B_TIMER"]), 3500);  // not 3000, not sooner
    scheduler.advance(1000);
    // A tie: the follower now counts as enabled before the restarted leader.
    EXPECT_EQ(log, (std::vector<std::string>{"other@2400", "other@3100", "follow@3500", "lead@3500"}));
}

TEST_F(SchedulerTest, ClicksDuringAWaitRunAfterTheHandlerInOrderAndDisabledOnesAreDropped) {
    window["GO_BUTTON"].on_click = [this] { log.push_back("go@" + std::to_string(clock.now_ms())); };
    window["OTHER_BUTTON"].on_click = [this] { log.push_back("other@" + std::to_string(clock.now_ms())); };
    window["SLOW_TIMER"].on_timer = [this] {
        scheduler.wait(2000);
        // The user clicks both buttons while the handler waits...
        window.post_click(window["OTHER_BUTTON"]);
        window.post_click(window["GO_BUTTON"]);
        log.push_back("posted");
        scheduler.wait(2000);
        // ...and the handler then disables one of them before it returns.
        window["OTHER_BUTTON"].set_enabled(false);
        window["SLOW_TIMER"].set_enabled(false);
        log.push_back("slow-end@" + std::to_string(clock.now_ms()));
    };
    start("SLOW_TIMER", 1000);
    scheduler.advance(6000);
    EXPECT_EQ(log, (std::vector<std::string>{"posted", "slow-end@5000", "go@5000"}));
}

// A stand-in for a front end's driver: while a handler waits, the user's
// input arrives from outside the handler, the way a real event loop hands it
// over during a wait.
class InputDuringWaitClock final : public Clock {
public:
    std::int64_t now_ms() const override { return inner.now_ms(); }
    void wait_ms(int ms) override {
        const auto end = inner.now_ms() + ms;
        while (!arrivals.empty() && arrivals.front().first <= end) {
            inner.set(arrivals.front().first);
            auto arrive = std::move(arrivals.front().second);
            arrivals.erase(arrivals.begin());
            arrive();
        }
        inner.set(end);
    }
    VirtualClock inner;
    std::vector<std::pair<std::int64_t, std::function<void()>>> arrivals;
};

TEST(SchedulerInputOrder, InputArrivingDuringAWaitRunsBeforeTheTicksHeldMeanwhile) {
    InputDuringWaitClock clock;
    Scheduler scheduler{clock};
    Window window{"W", scheduler, kInventory, Rect{}};
    std::vector<std::string> log;
    auto stamp = [&](std::string what) { log.push_back(what + "@" + std::to_string(clock.now_ms())); };
    window["A_TIMER"].on_timer = [&] { stamp("a"); };
    window["GO_BUTTON"].on_click = [&] { stamp("go"); };
    window["OTHER_BUTTON"].on_click = [&] { stamp("other"); };
    window["SLOW_TIMER"].on_timer = [&] {
        stamp("slow");
        scheduler.wait(5000);
        window["SLOW_TIMER"].set_enabled(false);
    };
    window["SLOW_TIMER"].set_interval(100);
    window["SLOW_TIMER"].set_enabled(true);
    window["A_TIMER"].set_interval(1000);
    window["A_TIMER"].set_enabled(true);
    // A fell due at 1000, the clicks came at 3500 and 4000: the clicks still go first.
    clock.arrivals.emplace_back(3500, [&] { window.post_click(window["GO_BUTTON"]); });
    clock.arrivals.emplace_back(4000, [&] { window.post_click(window["OTHER_BUTTON"]); });
    scheduler.run_due();  // nothing due yet
    clock.inner.set(100);
    scheduler.run_due();
    EXPECT_EQ(log, (std::vector<std::string>{"slow@100", "go@5100", "other@5100", "a@5100"}));
}

TEST_F(SchedulerTest, ARefusedEditShowsTheModelsTextAgain) {
    Window& w = window;
    // Two edits typed while a handler waits; the box is locked, then disabled,
    // before their turn: the front end hears the text again each time.
    int text_told = 0;
    w.observe([&](const Change& ch) { text_told += ch.control == &w["NOTE_TEXTBOX"] && ch.prop == Prop::Text; });
    w["SLOW_TIMER"].on_timer = [&] {
        w.post_edit(w["NOTE_TEXTBOX"], "typed");
        scheduler.wait(100);
        w["NOTE_TEXTBOX"].set_locked(true);
        w.post_edit(w["NOTE_TEXTBOX"], "typed more");
        scheduler.wait(100);
        w["SLOW_TIMER"].set_enabled(false);
    };
    w["SLOW_TIMER"].set_interval(10);
    w["SLOW_TIMER"].set_enabled(true);
    scheduler.advance(10);
    EXPECT_EQ(w["NOTE_TEXTBOX"].text(), "");
    EXPECT_EQ(text_told, 2);
    w["NOTE_TEXTBOX"].set_locked(false);
    w["NOTE_TEXTBOX"].set_enabled(false);
    w.post_edit(w["NOTE_TEXTBOX"], "typed");
    scheduler.run_due();
    EXPECT_EQ(w["NOTE_TEXTBOX"].text(), "");
    EXPECT_EQ(text_told, 3);
}

TEST_F(SchedulerTest, TheSessionsEndIsNotDroppedForAModalWindowButIsForAClosedOne) {
    struct Owner : Window {
        using Window::Window;
        void open(Window& child) { open_modal_child(child); }
    };
    Owner owner{"OWNER", scheduler, kInventory, Rect{}};
    Window child{"CHILD", scheduler, kInventory, Rect{}};
    owner.open(child);
    owner.post_close();  // the user's close is dropped: the owner takes no input
    scheduler.run_due();
    EXPECT_FALSE(owner.closed());
    owner.post_session_end();
    owner.post_session_end();  // a second signal finds the window closed
    scheduler.run_due();
    EXPECT_TRUE(owner.closed());
}

TEST_F(SchedulerTest, AClickWhenIdleRunsAtOnce) {
    window["GO_BUTTON"].on_click = [this] { log.push_back("go"); };
    window.post_click(window["GO_BUTTON"]);
    scheduler.run_due();
    EXPECT_EQ(log, (std::vector<std::string>{"go"}));
}

TEST_F(SchedulerTest, TickBoxRuleRunsTheClickHandlerNestedOnlyOnAChange) {
    window["X_TICKBOX"].on_click = [this] {
        log.push_back("x=" + std::to_string(window["X_TICKBOX"].value()));
        window["Y_TICKBOX"].set_value(window["X_TICKBOX"].value());
        log.push_back("x-end");
    };
    window["Y_TICKBOX"].on_click = [this] { log.push_back("y=" + std::to_string(window["Y_TICKBOX"].value())); };
    window["X_TICKBOX"].set_value(1);
    window["X_TICKBOX"].set_value(1);  // same value: nothing runs
    EXPECT_EQ(log, (std::vector<std::string>{"x=1", "y=1", "x-end"}));
    // A user's click takes the next value and follows the same rule.
    log.clear();
    window.post_click(window["X_TICKBOX"]);
    scheduler.run_due();
    EXPECT_EQ(log, (std::vector<std::string>{"x=0", "y=0", "x-end"}));
}

TEST_F(SchedulerTest, AFailingHandlerEndsAtTheFailingStepAndTheSchedulerGoesOn) {
    record("A_TIMER", "a");
    window["SLOW_TIMER"].on_timer = [this] {
        window["GO_BUTTON"].set_caption("changed");
        throw std::runtime_error("boom");
    };
    start("SLOW_TIMER", 500);
    start("A_TIMER", 1000);
    scheduler.advance(1000);
    EXPECT_EQ(window["GO_BUTTON"].caption(), "changed");
    EXPECT_EQ(window.status(), "boom");
    EXPECT_EQ(log, (std::vector<std::string>{"a@1000"}));
}

TEST_F(SchedulerTest, ObserversSeeEveryChangeButNotSameValueAssignments) {
    std::vector<std::pair<std::string, Prop>> seen;
    window.observe([&](const Change& c) { seen.emplace_back(c.control ? c.control->name() : "", c.prop); });
    window["GO_BUTTON"].set_caption("Go");  // unchanged
    window["GO_BUTTON"].set_caption("Went");
    window["X_TICKBOX"].set_back_colour(colours::yellow);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, Prop>>{{"GO_BUTTON", Prop::Caption},
                                                                {"X_TICKBOX", Prop::BackColor}}));
}

TEST_F(SchedulerTest, AWeekOfMinutePollsRunsOnVirtualTime) {
    int ticks = 0;
    window["A_TIMER"].on_timer = [&] { ++ticks; };
    start("A_TIMER", 60000);
    scheduler.advance(7LL * 24 * 3600 * 1000);
    EXPECT_EQ(ticks, 7 * 24 * 60);
}

}  // namespace
}  // namespace vqd
