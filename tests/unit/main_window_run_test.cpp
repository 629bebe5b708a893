// The automatic run: START, the countdown, the settling wait, and then either
// the poll loop or the program's end; STOP at each phase; SHUTDOWN.
#include "main_window_fixture.h"

namespace vqd::test {
namespace {

class Run : public MainWindowTest {
protected:
    void SetUp() override {
        configure_files();
        start();
    }
    std::vector<std::string> locked_buttons() const { return with_enabled(kRunButtons, false); }
    std::vector<std::string> locked_tick_boxes() const { return with_enabled(kRunTickBoxes, false); }
    std::vector<std::string> all(std::span<const std::string_view> names) const {
        return {names.begin(), names.end()};
    }
};

TEST_F(Run, FromStartToThePollLoop) {
    click("CLI_GBC_BAT_TICKBOX");  // at 0: the loop runs from here, first tick at 60 s
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_EQ(locked_buttons(), all(kRunButtons));
    EXPECT_EQ(locked_tick_boxes(), all(kRunTickBoxes));
    EXPECT_EQ((*this)["CLI_GBC_BAT_TICKBOX"].value(), 1);  // locked, not cleared
    // The display is left alone until the first tick.
    advance(999);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "-- --");
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::queued_pink);
    advance(1);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "10");
    advance(9000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "01");
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);

    // Eleven seconds after START: "00", at once replaced by "-- --" on cyan.
    advance(1000);
    const auto shown = texts_of("AUTORUN_TIMER_TEXTBOX");
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2], (std::pair<std::int64_t, std::string>{11000, "00"}));
    EXPECT_EQ(shown.back(), (std::pair<std::int64_t, std::string>{11000, "-- --"}));
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::cyan);
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::black);
    EXPECT_FALSE((*this)["COUNTDOWN_TIMER"].enabled());
    EXPECT_EQ(scheduler.timer_due((*this)["GETBLOCKCOUNT_COMMAND_TIMER"]), 12000);
    EXPECT_EQ(scheduler.timer_due((*this)["UNLOAD_TIMER"]), 21000);
    EXPECT_FALSE((*this)["GETCONNECTIONCOUNT_COMMAND_TIMER"].enabled());

    // The poll: tick at 12 s, batch file at 13 s, yellow at 16 s (4 s into
    // the poll), the log read and the window colour at 17 s, black at 18 s.
    advance(10000);
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    EXPECT_EQ(platform.runner.runs.front().style, WindowStyle::Hidden);
    EXPECT_EQ(backs_of("CURRENT_BLOCK_TEXTBOX"),
              (std::vector<std::pair<std::int64_t, Colour>>{{11000, colours::queued_pink},
                                                            {16000, colours::yellow},
                                                            {17000, colours::window_background},
                                                            {18000, colours::black}}));
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "812345\r\n");
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");

    // The settling wait ends ten seconds after "00": polling.
    EXPECT_EQ(enables_of("UNLOAD_TIMER").back(), (std::pair<std::int64_t, bool>{21000, false}));
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_TRUE((*this)["GET_LOOP_TIMER"].enabled());
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());
    for (auto n : {"CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX"})
        EXPECT_FALSE((*this)[n].enabled()) << n;
    EXPECT_FALSE((*this)["SHUTDOWN_BUTTON"].enabled());
    EXPECT_FALSE(main->closed());
    // The watcher's next tick gives back its three buttons while the client is not running.
    advance(1000);
    EXPECT_TRUE((*this)["SHUTDOWN_BUTTON"].enabled());
    EXPECT_TRUE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());

    // Enabling the loop at the settling wait changed nothing: it was already
    // running since the option was ticked, and keeps that minute.
    EXPECT_EQ(scheduler.timer_due((*this)["GET_LOOP_TIMER"]), 60000);
    advance(38000);  // 60 s: the loop tick queues a poll and locks G-B-C
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    advance(2000);
    EXPECT_EQ(runs_of(kGbcBat), (std::vector<std::int64_t>{13000, 62000}));

    // STOP in the polling phase gives everything back and ends the loop.
    advance(8000);
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_EQ(locked_buttons(), std::vector<std::string>{});
    EXPECT_EQ(locked_tick_boxes(), std::vector<std::string>{});
    EXPECT_FALSE((*this)["GET_LOOP_TIMER"].enabled());
    advance(300000);
    EXPECT_EQ(runs_of(kGbcBat).size(), 2u);
}

TEST_F(Run, FromStartToTheProgramsEndWithAutoClose) {
    click("CLI_GBC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    main->set_position(3000, 4000);
    click("START_STOP_BUTTON");
    advance(20999);
    EXPECT_FALSE(main->closed());
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    EXPECT_TRUE(platform.store.writes.empty());
    const auto watcher_answer = (*this)["PROCESS_ACTIVE_LABEL"].caption();
    advance(1);
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(back_at("AUTORUN_TIMER_TEXTBOX", 21000), colours::red);
    for (auto t : {"COUNTDOWN_TIMER", "GETBLOCKCOUNT_COMMAND_TIMER", "GETCONNECTIONCOUNT_COMMAND_TIMER",
                   "CLI_PROCESS_WATCHER_TIMER", "GET_LOOP_TIMER"})
        EXPECT_FALSE((*this)[t].enabled()) << t;
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), watcher_answer);
    // Saved exactly what a close by the user saves.
    EXPECT_EQ(platform.store.writes,
              (std::vector<std::string>{"MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                                        "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX"}));
    EXPECT_EQ(stored("MainLeft"), "3000");
    EXPECT_EQ(stored("CLI_GBC_BAT_TICKBOX"), "1");
    EXPECT_EQ(stored("AUTOSTART_TICKBOX"), "1");
    EXPECT_EQ(stored("AUTOCLOSE_TIMER_TICKBOX"), "1");
    // Nothing of the window is left to run.
    EXPECT_FALSE(scheduler.next_due().has_value());
}

TEST_F(Run, AutoCloseWithOnlyTheStopOptionSendsStopAtZeroAndEndsAfterTheSettlingWait) {
    click("CLI_STOP_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11000);
    EXPECT_EQ(runs_of(kStopBat), std::vector<std::int64_t>{11000});
    EXPECT_EQ(platform.runner.runs.back().style, WindowStyle::Hidden);
    // Red while the command is sent, green after the 3 s pause; the settling
    // wait is armed only then.
    EXPECT_EQ(backs_of("AUTORUN_TIMER_TEXTBOX"),
              (std::vector<std::pair<std::int64_t, Colour>>{
                  {11000, colours::cyan}, {11000, colours::red}, {14000, colours::green}}));
    EXPECT_EQ(scheduler.timer_due((*this)["UNLOAD_TIMER"]), 24000);
    EXPECT_TRUE(runs_of(kGbcBat).empty());
    advance(13000);
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(stored("CLI_STOP_BAT_TICKBOX"), "1");
}

TEST_F(Run, StopOptionWithoutAutoCloseEndsInStopSentStillLocked) {
    click("CLI_STOP_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(30000);
    EXPECT_EQ(runs_of(kStopBat), std::vector<std::int64_t>{11000});
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());
    EXPECT_FALSE((*this)["CLI_STOP_BAT_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["UNLOAD_TIMER"].enabled());
    EXPECT_FALSE((*this)["GET_LOOP_TIMER"].enabled());
}

TEST_F(Run, BothPollsRequestedTogetherRunOneAfterTheOtherAndTheSecondBoxStaysQueued) {
    click("CLI_GBC_BAT_TICKBOX");
    click("CLI_GCC_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(40000);
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    EXPECT_EQ(runs_of(kGccBat), std::vector<std::int64_t>{20000});
    // Pink from zero through the whole block poll (12-19 s) and the first
    // 4 s of its own, yellow at 23 s, black at 24 s.
    EXPECT_EQ(backs_of("CONNECTIONS_TEXTBOX"),
              (std::vector<std::pair<std::int64_t, Colour>>{
                  {11000, colours::queued_pink}, {23000, colours::yellow}, {24000, colours::black}}));
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].text(), "8\r\n");
    // The settling wait, due at 21 s, came once, after the connection poll.
    EXPECT_EQ(enables_of("UNLOAD_TIMER"),
              (std::vector<std::pair<std::int64_t, bool>>{{11000, true}, {25000, false}}));
}

TEST_F(Run, StopDuringCountingHaltsTheDisplayAndTheNextStartCountsFromElevenAgain) {
    click("CLI_GCC_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(4500);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "07");
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_EQ(locked_tick_boxes(), std::vector<std::string>{});
    EXPECT_TRUE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());  // even with Auto Start unticked
    advance(20000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "07");
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::queued_pink);
    EXPECT_TRUE(platform.runner.runs.empty());
    EXPECT_FALSE((*this)["UNLOAD_TIMER"].enabled());

    click("START_STOP_BUTTON");  // at 24.5 s
    advance(1000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "10");
    advance(10000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "-- --");
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::queued_pink);
}

TEST_F(Run, StopDuringSettlingCancelsNothingAndTheSettlingWaitPutsThePollingBack) {
    click("CLI_GBC_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11500);
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_FALSE((*this)["GET_LOOP_TIMER"].enabled());
    EXPECT_TRUE((*this)["UNLOAD_TIMER"].enabled());
    EXPECT_TRUE((*this)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());
    advance(9500);  // 21 s
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());
    EXPECT_FALSE((*this)["CLI_GBC_BAT_TICKBOX"].enabled());
    // Auto Start and Auto Close stay as the STOP click left them.
    EXPECT_TRUE((*this)["AUTOSTART_TICKBOX"].enabled());
    EXPECT_TRUE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    // The loop, stopped by STOP, starts afresh here: its first tick a minute after the settling wait.
    EXPECT_EQ(scheduler.timer_due((*this)["GET_LOOP_TIMER"]), 81000);
    advance(62000);
    EXPECT_EQ(runs_of(kGbcBat), (std::vector<std::int64_t>{13000, 83000}));
}

TEST_F(Run, StopDuringSettlingWithAutoCloseStillEndsTheProgram) {
    click("CLI_GBC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11500);
    click("START_STOP_BUTTON");
    advance(9500);
    EXPECT_TRUE(main->closed());
}

TEST_F(Run, StartWithNothingSelectedOnlyClearsAutoStartAndAutoClose) {
    // A state the interlocks never leave, so that the click's own steps show.
    (*this)["START_STOP_BUTTON"].set_caption("STOP");
    (*this)["AUTOSTART_TICKBOX"].set_enabled(true);
    (*this)["AUTOSTART_TICKBOX"].set_value(1);
    (*this)["AUTOCLOSE_TIMER_TICKBOX"].set_value(1);
    (*this)["SETTINGS_BUTTON"].set_enabled(false);
    history.clear();
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_EQ((*this)["AUTOSTART_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 0);
    EXPECT_FALSE((*this)["AUTOSTART_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());  // nothing else is touched
    for (const auto& r : history)
        EXPECT_TRUE(r.control == "START_STOP_BUTTON" || r.control == "AUTOSTART_TICKBOX" ||
                    r.control == "AUTOCLOSE_TIMER_TICKBOX")
            << r.control;
    advance(30000);
    EXPECT_TRUE(platform.runner.runs.empty());
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "-- --");
}

TEST_F(Run, ACaptionOtherThanExactlyStartCountsAsRunning) {
    click("CLI_GBC_BAT_TICKBOX");
    for (const char* caption : {"start", "START- STOP", "START "}) {
        SCOPED_TRACE(caption);
        (*this)["START_STOP_BUTTON"].set_caption(caption);
        (*this)["SETTINGS_BUTTON"].set_enabled(false);
        click("START_STOP_BUTTON");
        EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
        EXPECT_TRUE((*this)["SETTINGS_BUTTON"].enabled());
        EXPECT_FALSE((*this)["COUNTDOWN_TIMER"].enabled());
        EXPECT_FALSE((*this)["GET_LOOP_TIMER"].enabled());
        (*this)["CLI_GBC_BAT_TICKBOX"].set_value(0);
        (*this)["CLI_GBC_BAT_TICKBOX"].set_value(1);  // the loop again, for the next round
    }
}

TEST_F(Run, AGreyedOptionCountsForStartButTriggersNothingAtZero) {
    (*this)["CLI_GCC_BAT_TICKBOX"].set_value(2);
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    advance(11000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "-- --");
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::cyan);
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::black);
    EXPECT_FALSE((*this)["UNLOAD_TIMER"].enabled());
    advance(60000);
    EXPECT_TRUE(platform.runner.runs.empty());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
}

TEST_F(Run, ShutdownSendsStopFreezesThreeSecondsThenRestartsTheWatcherAndTurnsTheDisplayPink) {
    click("CLI_GBC_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11500);  // zero reached: display cyan; the watcher unlocked the button at 11 s
    (*this)["CLI_PROCESS_WATCHER_TIMER"].set_enabled(false);
    click("SHUTDOWN_BUTTON");
    EXPECT_EQ(runs_of(kStopBat), std::vector<std::int64_t>{11500});
    EXPECT_EQ(platform.runner.runs.back().style, WindowStyle::Hidden);
    EXPECT_EQ(back_at("AUTORUN_TIMER_TEXTBOX", 14499), colours::cyan);
    EXPECT_EQ(backs_of("AUTORUN_TIMER_TEXTBOX").back(), (std::pair<std::int64_t, Colour>{14500, colours::queued_pink}));
    EXPECT_TRUE((*this)["CLI_PROCESS_WATCHER_TIMER"].enabled());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");  // the phase is unchanged
    // The poll due at 12 s waited for the freeze.
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{15500});
}

TEST_F(Run, ShutdownDuringCountingLetsTheCountdownGoOnAfterTheFreeze) {
    click("CLI_GBC_BAT_TICKBOX");
    click("START_STOP_BUTTON");
    advance(1500);
    click("SHUTDOWN_BUTTON");  // the ticks at 2, 3 and 4 s come as one, at 4.5 s
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "09");
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::queued_pink);
    advance(500);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "08");
}

}  // namespace
}  // namespace vqd::test
