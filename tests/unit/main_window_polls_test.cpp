// The two polls: their stages, the block-change actions, and what happens
// when a platform operation inside them fails.
#include "main_window_fixture.h"

#include "windows/settings_window.h"

namespace vqd::test {
namespace {

const std::string kExternal = "C:\\feeds\\height.txt";

class Polls : public MainWindowTest {
protected:
    void SetUp() override { configure_files(); }
    void with_actions() {
        put("UPDATE_EXTERNAL_FILE_TICKBOX", "1");
        put("UPDATE_EXTERNAL_FILE_TEXTBOX", kExternal);
        put("RUN_COMMAND_TICKBOX", "1");
        put("RUN_COMMAND_TEXTBOX", "notify.cmd --height");
    }
    // Start, let the watcher unlock the buttons, and request one block-count
    // poll at 1 s: it ticks at 2 s, runs the batch file at 3 s, reads at 7 s,
    // acts at 8 s and ends at 9 s.
    void poll_block_count_once() {
        if (!main) start();
        advance_to(1000);
        click("GETBLOCKCOUNT_BUTTON");
        advance(8000);
    }
    // Nothing of the main window is due but the watcher and always-on-top.
    void expect_no_poll_left_armed() {
        EXPECT_FALSE(scheduler.timer_due((*this)["GETBLOCKCOUNT_COMMAND_TIMER"]).has_value());
        EXPECT_FALSE(scheduler.timer_due((*this)["GETCONNECTIONCOUNT_COMMAND_TIMER"]).has_value());
        const auto runs = platform.runner.runs.size();
        const auto errors = platform.errors.messages.size();
        advance(120000);
        EXPECT_EQ(platform.runner.runs.size(), runs);
        EXPECT_EQ(platform.errors.messages.size(), errors);
    }
    bool status_mentions(const std::string& what) const { return main->status().find(what) != std::string::npos; }
};

TEST_F(Polls, BlockChangeActionsRunAfterEveryPollEvenWhenTheCountIsUnchanged) {
    with_actions();
    poll_block_count_once();
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "812345\r\n");
    // The log's own line end, then the written line's: ten bytes.
    EXPECT_EQ(platform.files.content[kExternal], "812345\r\n\r\n");
    ASSERT_EQ(runs_of("notify.cmd --height"), std::vector<std::int64_t>{8000});
    EXPECT_EQ(platform.runner.runs.back().style, WindowStyle::NormalWithFocus);
    EXPECT_EQ(back_at("CURRENT_BLOCK_TEXTBOX", 8000), colours::black);
    EXPECT_EQ(back_at("CURRENT_BLOCK_TEXTBOX", 7999), colours::window_background);

    platform.files.content[kExternal] = "stale";
    advance_to(10000);
    click("GETBLOCKCOUNT_BUTTON");
    advance(8000);
    EXPECT_EQ(platform.files.content[kExternal], "812345\r\n\r\n");
    EXPECT_EQ(runs_of("notify.cmd --height"), (std::vector<std::int64_t>{8000, 17000}));
    EXPECT_EQ(platform.files.written, (std::vector<std::string>{kExternal, kExternal}));
}

TEST_F(Polls, TheLogIsShownUnchangedWhateverItHolds) {
    configure_files("error: couldn't connect to server\n  ");
    poll_block_count_once();
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "error: couldn't connect to server\n  ");
    EXPECT_EQ(main->status(), "");
}

TEST_F(Polls, WithTheActionsOffThePollWritesAndRunsNothingMore) {
    put("UPDATE_EXTERNAL_FILE_TEXTBOX", kExternal);
    put("RUN_COMMAND_TEXTBOX", "notify.cmd");
    poll_block_count_once();
    EXPECT_TRUE(platform.files.written.empty());
    EXPECT_EQ(platform.runner.runs.size(), 1u);
}

TEST_F(Polls, AnEmptyLogEmptiesTheBoxAndThePollGoesOn) {
    configure_files("");
    with_actions();
    poll_block_count_once();
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "");
    EXPECT_EQ(platform.files.content[kExternal], "\r\n");
    EXPECT_EQ(runs_of("notify.cmd --height").size(), 1u);
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    EXPECT_EQ(main->status(), "");
    expect_no_poll_left_armed();
}

TEST_F(Polls, TheConnectionPollHasNoActionStageAndNoWindowColourStage) {
    with_actions();
    start();
    advance(1000);
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(7000);
    EXPECT_EQ(runs_of(kGccBat), std::vector<std::int64_t>{3000});
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].text(), "8\r\n");
    EXPECT_EQ(backs_of("CONNECTIONS_TEXTBOX"),
              (std::vector<std::pair<std::int64_t, Colour>>{
                  {1000, colours::queued_pink}, {6000, colours::yellow}, {7000, colours::black}}));
    EXPECT_EQ(enables_of("GETCONNECTIONCOUNT_COMMAND_TIMER").back(), (std::pair<std::int64_t, bool>{8000, false}));
    EXPECT_TRUE(platform.files.written.empty());
    EXPECT_EQ(platform.runner.runs.size(), 1u);
}

TEST_F(Polls, AMissingBatchFileIsReportedAndThePollIsNotRetried) {
    platform.runner.failing.insert(kGbcBat);
    with_actions();
    poll_block_count_once();
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find(kGbcBat), std::string::npos);
    EXPECT_NE(platform.errors.messages[0].find("GETBLOCKCOUNT_COMMAND_TIMER"), std::string::npos);
    EXPECT_TRUE(status_mentions(kGbcBat));
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "-- -- -- -- -- -- --");
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    EXPECT_TRUE(platform.files.written.empty());
    expect_no_poll_left_armed();
    // The program went on: the watcher still answers.
    EXPECT_EQ(texts_of("PROCESS_ACTIVE_LABEL").size(), 1u);
    EXPECT_EQ(platform.processes.queries.size(), 129u);
}

TEST_F(Polls, AMissingLogIsReportedAfterTheReadingStageBegan) {
    platform.runner.on_run = nullptr;
    poll_block_count_once();
    EXPECT_EQ(runs_of(kGbcBat).size(), 1u);
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_TRUE(status_mentions(kGbcLog));
    EXPECT_EQ(back_at("CURRENT_BLOCK_TEXTBOX", 6999), colours::yellow);
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    expect_no_poll_left_armed();
}

TEST_F(Polls, AnUnwritableExternalFileStopsThePollBeforeTheUserCommand) {
    with_actions();
    platform.files.unwritable.insert(kExternal);
    poll_block_count_once();
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "812345\r\n");  // changed before the failure: kept
    EXPECT_TRUE(runs_of("notify.cmd --height").empty());
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_TRUE(status_mentions(kExternal));
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    expect_no_poll_left_armed();
}

TEST_F(Polls, ALogOverThirtyTwoThousandSevenHundredSixtySevenBytesCannotBeRead) {
    configure_files(std::string(32767, '7'));
    poll_block_count_once();
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text().size(), 32767u);
    EXPECT_EQ(main->status(), "");

    configure_files(std::string(32768, '7'));
    advance_to(10000);
    click("GETBLOCKCOUNT_BUTTON");
    advance(8000);
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text().size(), 32767u);  // the earlier text stays
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_TRUE(status_mentions("32767"));
    expect_no_poll_left_armed();
}

TEST_F(Polls, AFailedConnectionPollIsStoppedAndItsBoxTurnsBlack) {
    platform.runner.failing.insert(kGccBat);
    start();
    advance(1000);
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(7000);
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_TRUE(status_mentions(kGccBat));
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::black);
    expect_no_poll_left_armed();
}

TEST_F(Polls, TheStatusClearsWhenTheSameOperationNextSucceeds) {
    platform.runner.failing.insert(kGbcBat);
    platform.runner.failing.insert(kGccBat);
    start();
    advance(1000);
    click("GETBLOCKCOUNT_BUTTON");
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(5000);  // both have failed (each one second into its poll)
    EXPECT_TRUE(status_mentions(kGccBat));  // the latest is shown
    platform.runner.failing.clear();
    click("GETBLOCKCOUNT_BUTTON");
    advance(8000);
    EXPECT_EQ((*this)["CURRENT_BLOCK_TEXTBOX"].text(), "812345\r\n");
    EXPECT_TRUE(status_mentions(kGccBat));  // another operation's failure stands
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(7000);
    EXPECT_EQ(main->status(), "");
}

TEST_F(Polls, AnEmptyStopPathFailsTheShutdownBeforeTheWatcherAndTheColour) {
    start();
    advance(1000);
    (*this)["CLI_STOP_BAT_FULL_LOCATION_TEXTBOX"].set_text("");
    (*this)["CLI_PROCESS_WATCHER_TIMER"].set_enabled(false);
    (*this)["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::cyan);
    click("SHUTDOWN_BUTTON");
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("SHUTDOWN_BUTTON"), std::string::npos);
    EXPECT_FALSE((*this)["CLI_PROCESS_WATCHER_TIMER"].enabled());
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::cyan);
    EXPECT_EQ(clock.now_ms(), 1000);  // no pause: it ended at the failing step
    EXPECT_FALSE(main->status().empty());
}

TEST_F(Polls, AnEmptyStopPathAtZeroLeavesTheDisplayRedAndArmsNoSettlingWait) {
    start();
    (*this)["CLI_STOP_BAT_FULL_LOCATION_TEXTBOX"].set_text("");
    click("CLI_STOP_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].back_colour(), colours::red);
    EXPECT_FALSE((*this)["UNLOAD_TIMER"].enabled());
    EXPECT_FALSE((*this)["COUNTDOWN_TIMER"].enabled());
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("COUNTDOWN_TIMER"), std::string::npos);
    advance(60000);
    EXPECT_FALSE(main->closed());
    EXPECT_EQ(platform.errors.messages.size(), 1u);
}

TEST_F(Polls, AutoCloseWhileTheSettingsWindowIsOpenClosesItFirstThenSavesAsUsual) {
    start();
    click("CLI_GBC_BAT_TICKBOX");
    click("AUTOSTART_TICKBOX");
    click("AUTOCLOSE_TIMER_TICKBOX");
    click("START_STOP_BUTTON");
    advance(11500);
    click("START_STOP_BUTTON");  // STOP in the settling wait gives Settings back
    click("SETTINGS_BUTTON");
    ASSERT_NE(main->settings_window(), nullptr);
    SettingsWindow* settings = main->settings_window();
    settings->set_position(1500, 2500);
    EXPECT_FALSE(main->accepts_input());
    click("START_STOP_BUTTON");  // the modal window takes the main window's input
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    platform.store.writes.clear();
    advance(9500);  // the settling wait ends at 21 s; the poll ran meanwhile
    EXPECT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    EXPECT_TRUE(settings->closed());
    EXPECT_EQ(main->settings_window(), nullptr);
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(platform.store.writes,
              (std::vector<std::string>{"SETTINGS-Left", "SETTINGS-Top", "MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX",
                                        "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX",
                                        "AUTOCLOSE_TIMER_TICKBOX"}));
    EXPECT_EQ(stored("SETTINGS-Left"), "1500");
    EXPECT_FALSE(scheduler.next_due().has_value());
}

}  // namespace
}  // namespace vqd::test
