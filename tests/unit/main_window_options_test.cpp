// The option tick boxes: their interlocks (run nested whenever code changes a
// Value), the Auto Start / Auto Close rule, the manual poll buttons and the
// 60-second poll loop.
#include "main_window_fixture.h"

namespace vqd::test {
namespace {

class Options : public MainWindowTest {
protected:
    void SetUp() override { start(); }

    struct State {
        int gbc, gcc, stop, autostart, autoclose;
        bool gbc_on, gcc_on, stop_on, autostart_on, autoclose_on, loop;
        friend bool operator==(const State&, const State&) = default;
        friend std::ostream& operator<<(std::ostream& os, const State& s) {
            return os << "values gbc=" << s.gbc << " gcc=" << s.gcc << " stop=" << s.stop << " start=" << s.autostart
                      << " close=" << s.autoclose << "; enabled gbc=" << s.gbc_on << " gcc=" << s.gcc_on
                      << " stop=" << s.stop_on << " start=" << s.autostart_on << " close=" << s.autoclose_on
                      << "; loop=" << s.loop;
        }
    };
    State state() const {
        const auto& c = *main;
        return State{c["CLI_GBC_BAT_TICKBOX"].value(),     c["CLI_GCC_BAT_TICKBOX"].value(),
                     c["CLI_STOP_BAT_TICKBOX"].value(),    c["AUTOSTART_TICKBOX"].value(),
                     c["AUTOCLOSE_TIMER_TICKBOX"].value(), c["CLI_GBC_BAT_TICKBOX"].enabled(),
                     c["CLI_GCC_BAT_TICKBOX"].enabled(),   c["CLI_STOP_BAT_TICKBOX"].enabled(),
                     c["AUTOSTART_TICKBOX"].enabled(),     c["AUTOCLOSE_TIMER_TICKBOX"].enabled(),
                     c["GET_LOOP_TIMER"].enabled()};
    }
    // START then STOP: every option tick box enabled, values as they were.
    void start_and_stop() {
        click("START_STOP_BUTTON");
        click("START_STOP_BUTTON");
        ASSERT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    }
};

TEST_F(Options, TickingAnAutoPollOptionStartsTheLoopAndExcludesTheStopOption) {
    click("CLI_GBC_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{1, 0, 0, 0, 0, true, true, false, true, false, true}));
    // The loop's first tick is a minute away: ticking starts no poll at once.
    EXPECT_EQ(scheduler.timer_due((*this)["GET_LOOP_TIMER"]), 60000);
    click("AUTOSTART_TICKBOX");
    EXPECT_EQ(state(), (State{1, 0, 0, 1, 0, true, true, false, true, true, true}));
}

TEST_F(Options, UntickingOnePollOptionWhileTheOtherStaysKeepsTheLoopButClearsAutoStartAndAutoClose) {
    click("CLI_GBC_BAT_TICKBOX");
    click("CLI_GCC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    ASSERT_EQ(state(), (State{1, 1, 0, 1, 1, true, true, false, true, true, true}));
    click("CLI_GBC_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 1, 0, 0, 0, true, true, false, true, false, true}));
}

TEST_F(Options, UntickingTheLastPollOptionStopsTheLoopAndGivesBackTheStopOption) {
    click("CLI_GCC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    click("CLI_GCC_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 0, 0, 0, true, true, true, false, false, false}));
    advance(120000);
    EXPECT_TRUE(runs_of(kGbcBat).empty());
    EXPECT_TRUE(platform.runner.runs.empty());
}

TEST_F(Options, TickingTheStopOptionFromNothingRunsNoNestedHandlerAndLocksBothPollOptions) {
    click("CLI_STOP_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 1, 0, 0, false, false, true, true, false, false}));
    for (const auto& r : history)
        EXPECT_FALSE(r.prop == Prop::Value && (r.control == "CLI_GBC_BAT_TICKBOX" || r.control == "CLI_GCC_BAT_TICKBOX"))
            << r.control;
    click("CLI_STOP_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 0, 0, 0, true, true, true, false, false, false}));
}

TEST_F(Options, StopOptionAfterStopWithOnlyBlockCountTickedLeavesConnectionCountUsable) {
    click("CLI_GBC_BAT_TICKBOX");
    start_and_stop();
    click("CLI_STOP_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 1, 0, 0, false, true, true, false, false, false}));
}

TEST_F(Options, StopOptionAfterStopWithOnlyConnectionCountTickedLocksBothPollOptions) {
    click("CLI_GCC_BAT_TICKBOX");
    start_and_stop();
    click("CLI_STOP_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 1, 0, 0, false, false, true, false, false, false}));
}

TEST_F(Options, StopOptionAfterStopWithBothPollOptionsTickedReEntersItselfAndEndsUnticked) {
    click("CLI_GBC_BAT_TICKBOX");
    click("CLI_GCC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    start_and_stop();
    click("CLI_STOP_BAT_TICKBOX");
    EXPECT_EQ(state(), (State{0, 0, 0, 0, 0, true, true, true, false, false, false}));
    // Ticked by the user, then unticked from inside the nested G-B-C handler
    // while its own ticked branch was still running.
    int stop_changes = 0;
    for (const auto& r : history)
        if (r.control == "CLI_STOP_BAT_TICKBOX" && r.prop == Prop::Value) ++stop_changes;
    EXPECT_EQ(stop_changes, 2);
}

TEST_F(Options, AutoCloseFollowsAutoStart) {
    click("CLI_STOP_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    EXPECT_TRUE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    click("AUTOCLOSE_TIMER_TICKBOX");
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 1);
    click("AUTOSTART_TICKBOX");
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 0);
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    // A disabled tick box cannot be clicked: the click is dropped.
    click("AUTOCLOSE_TIMER_TICKBOX");
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 0);
}

TEST_F(Options, RunBatTickBoxChangesNothingButItsOwnTick) {
    const auto before = history.size();
    click("RUN_BAT_TICKBOX");
    EXPECT_EQ((*this)["RUN_BAT_TICKBOX"].value(), 1);
    ASSERT_EQ(history.size(), before + 1);
    EXPECT_EQ(history.back().control, "RUN_BAT_TICKBOX");
}

TEST_F(Options, ManualButtonsQueueOnePollEachOneSecondLater) {
    configure_files();
    main.reset();
    history.clear();
    start();
    advance(1000);  // the watcher gives the buttons back
    click("GETBLOCKCOUNT_BUTTON");
    click("GETBLOCKCOUNT_BUTTON");  // a second request before the tick adds nothing
    click("GETCONNECTIONCOUNT_BUTTON");
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::queued_pink);
    advance(20000);
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{3000});   // tick at 2000, run after 1 s
    EXPECT_EQ(runs_of(kGccBat), std::vector<std::int64_t>{10000});  // starts as the block poll ends at 9000
}

TEST_F(Options, LoopTickRequestsTheTickedKindsAndCancelsAPendingRequestOfAnUntickedOne) {
    configure_files();
    main.reset();
    history.clear();
    start();
    click("CLI_GCC_BAT_TICKBOX");  // loop due at 60000
    advance(59500);
    click("GETBLOCKCOUNT_BUTTON");  // its poll would tick at 60500
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::queued_pink);
    advance(500);  // the loop tick
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());
    EXPECT_TRUE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_FALSE((*this)["GETCONNECTIONCOUNT_BUTTON"].enabled());
    advance(10000);
    EXPECT_TRUE(runs_of(kGbcBat).empty());
    EXPECT_EQ(runs_of(kGccBat), std::vector<std::int64_t>{62000});
}

TEST_F(Options, LoopTicksEveryMinuteWithBothOptionsBlockCountFirst) {
    configure_files();
    main.reset();
    history.clear();
    start();
    click("CLI_GBC_BAT_TICKBOX");
    click("CLI_GCC_BAT_TICKBOX");
    advance(60000);
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_FALSE((*this)["GETCONNECTIONCOUNT_BUTTON"].enabled());
    advance(130000);
    // Loop ticks at 60 s, 120 s, 180 s; each block poll (tick + 1 s) is
    // followed at once by the connection poll.
    EXPECT_EQ(runs_of(kGbcBat), (std::vector<std::int64_t>{62000, 122000, 182000}));
    EXPECT_EQ(runs_of(kGccBat), (std::vector<std::int64_t>{69000, 129000, 189000}));
}

}  // namespace
}  // namespace vqd::test
