// The process watcher: once a second, is the client running, and the three
// buttons that would start another client command follow the answer.
#include "main_window_fixture.h"

namespace vqd::test {
namespace {

class Watcher : public MainWindowTest {
protected:
    std::vector<std::string> enabled_query_buttons() const {
        static constexpr std::string_view kThree[] = {"SHUTDOWN_BUTTON", "GETBLOCKCOUNT_BUTTON",
                                                      "GETCONNECTIONCOUNT_BUTTON"};
        return with_enabled(kThree, true);
    }
    const std::vector<std::string> kAllThree{"SHUTDOWN_BUTTON", "GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON"};
};

TEST_F(Watcher, AnEmptyNameMatchesNothingAndUnlocksTheButtonsAtEveryTick) {
    platform.processes.running["bitcoin-cli.exe"] = 1;
    start();
    advance(1000);
    EXPECT_EQ(platform.processes.queries, std::vector<std::string>{""});
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI NOT RUNNING !!!");
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].back_colour(), colours::green);
    EXPECT_EQ(enabled_query_buttons(), kAllThree);
    (*this)["SHUTDOWN_BUTTON"].set_enabled(false);
    advance(1000);
    EXPECT_EQ(enabled_query_buttons(), kAllThree);
}

TEST_F(Watcher, TheNameIsComparedWithoutRegardToCaseAndReadAfreshAtEachTick) {
    put("CLI_NAME_TEXTBOX", "bitcoin-cli.exe");
    platform.processes.running["BITCOIN-CLI.EXE"] = 1;
    start();
    advance(1000);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI RUNNING !!!");
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].back_colour(), colours::red);
    EXPECT_EQ(enabled_query_buttons(), std::vector<std::string>{});
    EXPECT_TRUE((*this)["SETTINGS_BUTTON"].enabled());  // never the watcher's business
    // What "Save To Registry" copies in is used from the next tick on.
    (*this)["CLI_NAME_TEXTBOX"].set_text("dash-cli.exe");
    advance(1000);
    EXPECT_EQ(platform.processes.queries.back(), "dash-cli.exe");
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI NOT RUNNING !!!");
}

TEST_F(Watcher, TwoClientProcessesGiveTheSameAnswerAsOne) {
    put("CLI_NAME_TEXTBOX", "cli.exe");
    platform.processes.running["cli.exe"] = 2;
    start();
    advance(1000);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI RUNNING !!!");
    EXPECT_EQ(enabled_query_buttons(), std::vector<std::string>{});
}

TEST_F(Watcher, NamesArePassedVerbatimQuotesAndBlanksIncluded) {
    put("CLI_NAME_TEXTBOX", " it's cli.exe ");
    platform.processes.running[" it's cli.exe "] = 1;
    start();
    advance(1000);
    EXPECT_EQ(platform.processes.queries, std::vector<std::string>{" it's cli.exe "});
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI RUNNING !!!");
    EXPECT_EQ(main->status(), "");
}

TEST_F(Watcher, ButtonsComeBackWithinASecondOfTheClientsEnd) {
    put("CLI_NAME_TEXTBOX", "cli.exe");
    platform.processes.running["cli.exe"] = 1;
    start();
    advance(3000);
    EXPECT_EQ(enabled_query_buttons(), std::vector<std::string>{});
    platform.processes.running.clear();  // the client ends at 3 s
    advance(1000);
    EXPECT_EQ(enabled_query_buttons(), kAllThree);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].back_colour(), colours::green);
}

TEST_F(Watcher, DuringCountingTheNextTickReEnablesTheThreeButtonsButNeverSettings) {
    start();
    click("CLI_GBC_BAT_TICKBOX");
    advance(1500);
    click("START_STOP_BUTTON");
    EXPECT_EQ(enabled_query_buttons(), std::vector<std::string>{});
    advance(500);
    EXPECT_EQ(enabled_query_buttons(), kAllThree);
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
}

TEST_F(Watcher, NoTickHappensWhileAPollWaitsSoAClientThatEndsMeanwhileIsNeverSeen) {
    configure_files();
    put("CLI_NAME_TEXTBOX", "cli.exe");
    start();
    // The client runs from the batch file's start (13 s) to the reading stage (16 s).
    auto start_client = platform.runner.on_run;
    platform.runner.on_run = [&](const std::string& line) {
        start_client(line);
        platform.processes.running["cli.exe"] = 1;
    };
    main->observe([&](const Change& c) {
        if (c.control && c.control->name() == "CURRENT_BLOCK_TEXTBOX" && c.prop == Prop::BackColor &&
            c.control->back_colour() == colours::yellow)
            platform.processes.running.clear();
    });
    advance(11000);
    click("GETBLOCKCOUNT_BUTTON");  // the poll holds the thread from 12 s to 19 s
    advance(8000);
    ASSERT_EQ(runs_of(kGbcBat), std::vector<std::int64_t>{13000});
    // Ticks at 1..12 s, then one tick for the seven seconds held, at 19 s.
    EXPECT_EQ(platform.processes.queries.size(), 13u);
    for (const auto& [at, text] : texts_of("PROCESS_ACTIVE_LABEL")) EXPECT_EQ(text, "!!! CLI NOT RUNNING !!!") << at;
}

TEST_F(Watcher, AFailingQueryIsReportedOnceWhileItKeepsFailingAndClearedWhenItWorksAgain) {
    put("CLI_NAME_TEXTBOX", "cli.exe");
    platform.processes.running["cli.exe"] = 1;
    start();
    advance(1000);
    platform.processes.fail = true;
    advance(10000);
    // The label keeps its last answer; the program goes on.
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI RUNNING !!!");
    EXPECT_EQ(platform.processes.queries.size(), 11u);
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("CLI_PROCESS_WATCHER_TIMER_Timer"), std::string::npos);
    EXPECT_NE(main->status().find("cli.exe"), std::string::npos);
    platform.processes.fail = false;
    platform.processes.running.clear();
    advance(1000);
    EXPECT_EQ(main->status(), "");
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI NOT RUNNING !!!");
    // A new failure after a success is news again.
    platform.processes.fail = true;
    advance(1000);
    EXPECT_EQ(platform.errors.messages.size(), 2u);
}

}  // namespace
}  // namespace vqd::test
