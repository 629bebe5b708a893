// Start-up of the main window: placement, caption, the restored options and
// the state they call for, the timers it arms, and the keys it reads and
// writes, in their order.
#include "main_window_fixture.h"

namespace vqd::test {
namespace {

using StartUp = MainWindowTest;

TEST_F(StartUp, FromAnEmptyStoreTheWindowOpensIdleWithDefaultsAndNoOption) {
    platform.executable.exe = "VQ-DAZ-ER";
    start();
    EXPECT_EQ(main->left(), 1000.0f);
    EXPECT_EQ(main->top(), 1000.0f);
    EXPECT_EQ(main->width(), 5280.0f);
    EXPECT_EQ(main->height(), 3630.0f);
    EXPECT_EQ(main->caption(), "TARNWICK - VQ-DAZ-ER - VQ-DAZ-ER");
    EXPECT_EQ((*this)["APP_EXE_NAME_LABEL"].caption(), "VQ-DAZ-ER");

    for (auto name : kRunTickBoxes) EXPECT_EQ((*this)[name].value(), 0) << name;
    EXPECT_FALSE((*this)["AUTOSTART_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_FALSE((*this)["GETCONNECTIONCOUNT_BUTTON"].enabled());
    EXPECT_TRUE((*this)["SHUTDOWN_BUTTON"].enabled());
    EXPECT_TRUE((*this)["SETTINGS_BUTTON"].enabled());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_EQ((*this)["CLI_NAME_TEXTBOX"].text(), "");
    // The design texts of the five path holders are always replaced.
    EXPECT_EQ((*this)["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].text(), "");
    EXPECT_EQ((*this)["CLI_GCC_FULL_LOG_LOCATION_TEXTBOX"].text(), "");
    EXPECT_EQ(main->countdown_seconds(), 11);

    EXPECT_EQ((*this)["AlwaysOnTopTimer_TICKBOX"].value(), 1);
    EXPECT_EQ(scheduler.timer_due((*this)["AlwaysOnTopTimer"]), 1000);
    EXPECT_EQ(scheduler.timer_due((*this)["CLI_PROCESS_WATCHER_TIMER"]), 1000);
    for (auto t : {"COUNTDOWN_TIMER", "GETBLOCKCOUNT_COMMAND_TIMER", "GETCONNECTIONCOUNT_COMMAND_TIMER", "UNLOAD_TIMER",
                   "GET_LOOP_TIMER"})
        EXPECT_FALSE(scheduler.timer_due((*this)[t]).has_value()) << t;
    EXPECT_EQ((*this)["UNLOAD_TIMER"].interval(), 10000);
    EXPECT_EQ((*this)["GET_LOOP_TIMER"].interval(), 60000);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! NOT MONITORING !!!");
    EXPECT_TRUE(platform.store.writes.empty());
}

TEST_F(StartUp, TheWatchersFirstTickOneSecondLaterSetsTheQueryButtonsByTheClientsState) {
    start();
    advance(999);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! NOT MONITORING !!!");
    EXPECT_FALSE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    advance(1);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI NOT RUNNING !!!");
    EXPECT_TRUE((*this)["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_TRUE((*this)["GETCONNECTIONCOUNT_BUTTON"].enabled());
    EXPECT_TRUE((*this)["SHUTDOWN_BUTTON"].enabled());
}

TEST_F(StartUp, AutoStartWithAnOptionEntersCountingWithEveryControlOfTheRunLocked) {
    put("CLI_GCC_BAT_TICKBOX", "1");
    put("AUTOSTART_TICKBOX", "1");
    put("AUTOCLOSE_TIMER_TICKBOX", "1");
    platform.processes.running["bitcoin-cli.exe"] = 1;  // keeps the watcher from unlocking the buttons
    put("CLI_NAME_TEXTBOX", "bitcoin-cli.exe");
    start();
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_EQ(with_enabled(kRunButtons, true), std::vector<std::string>{});
    EXPECT_EQ(with_enabled(kRunTickBoxes, true), std::vector<std::string>{});
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 1);  // kept for the settling wait
    EXPECT_EQ((*this)["CLI_GCC_BAT_TICKBOX"].value(), 1);
    EXPECT_EQ(scheduler.timer_due((*this)["COUNTDOWN_TIMER"]), 1000);
    // The restored option started the loop before its Interval was set; it runs from the end of start-up.
    EXPECT_EQ(scheduler.timer_due((*this)["GET_LOOP_TIMER"]), 60000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "-- --");
    advance(1000);
    EXPECT_EQ((*this)["AUTORUN_TIMER_TEXTBOX"].text(), "10");
    EXPECT_FALSE((*this)["SETTINGS_BUTTON"].enabled());
}

TEST_F(StartUp, AutoStartWithoutAnyOptionComesUpUntickedAndDisabled) {
    put("AUTOSTART_TICKBOX", "1");
    put("AUTOCLOSE_TIMER_TICKBOX", "1");
    start();
    EXPECT_EQ((*this)["AUTOSTART_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["AUTOCLOSE_TIMER_TICKBOX"].value(), 0);
    EXPECT_FALSE((*this)["AUTOSTART_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_FALSE(scheduler.timer_due((*this)["COUNTDOWN_TIMER"]).has_value());
}

TEST_F(StartUp, AnOptionWithoutAutoStartLeavesTheWindowReadyToStart) {
    put("CLI_GBC_BAT_TICKBOX", "1");
    put("AUTOCLOSE_TIMER_TICKBOX", "1");  // stored alone, it cannot stand
    start();
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_TRUE((*this)["AUTOSTART_TICKBOX"].enabled());
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    EXPECT_EQ(with_enabled(kRunButtons, false), std::vector<std::string>{});
    EXPECT_TRUE((*this)["CLI_STOP_BAT_TICKBOX"].enabled());
    EXPECT_FALSE(scheduler.timer_due((*this)["COUNTDOWN_TIMER"]).has_value());
    EXPECT_EQ(scheduler.timer_due((*this)["GET_LOOP_TIMER"]), 60000);
}

TEST_F(StartUp, AlwaysOnTopStoredOffLeavesItsTimerStopped) {
    put("AlwaysOnTopTimer_TICKBOX", "0");
    start();
    EXPECT_EQ((*this)["AlwaysOnTopTimer_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["AlwaysOnTopTimer"].interval(), 1000);
    EXPECT_FALSE((*this)["AlwaysOnTopTimer"].enabled());
    platform.topmost.foreground = 42;
    advance(5000);
    EXPECT_TRUE(platform.topmost.calls.empty());
}

TEST_F(StartUp, AlwaysOnTopPushesTheMainWindowAboveAnotherActiveWindowWithinASecond) {
    start();
    main->set_handle(7);
    platform.topmost.foreground = 7;  // the main window itself is active: nothing to do
    advance(1000);
    EXPECT_TRUE(platform.topmost.calls.empty());
    platform.topmost.foreground = 42;
    advance(1000);
    using Call = std::pair<std::uintptr_t, bool>;
    EXPECT_EQ(platform.topmost.calls, (std::vector<Call>{{42, false}, {7, true}}));
}

TEST_F(StartUp, GarbageInTheStoreFallsBackToTheDefaultsAndTheProgramGoesOn) {
    put("MainLeft", "left");
    put("MainWidth", "");
    put("MainHeight", "1e99");
    put("CLI_GBC_BAT_TICKBOX", "yes");
    put("AUTOSTART_TICKBOX", "-1");
    put("AlwaysOnTopTimer_TICKBOX", "x");
    put("MainTop", "2500.5");  // a good value beside bad ones is still taken
    start();
    EXPECT_EQ(main->left(), 1000.0f);
    EXPECT_EQ(main->top(), 2500.5f);
    EXPECT_EQ(main->width(), 5280.0f);
    EXPECT_EQ(main->height(), 3630.0f);
    EXPECT_EQ((*this)["CLI_GBC_BAT_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["AUTOSTART_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["AlwaysOnTopTimer_TICKBOX"].value(), 1);
    EXPECT_EQ(main->status(), "");
    advance(1000);
    EXPECT_EQ((*this)["PROCESS_ACTIVE_LABEL"].caption(), "!!! CLI NOT RUNNING !!!");
}

TEST_F(StartUp, StoredSizeIsAppliedAndNeverWrittenBack) {
    put("MainWidth", "9000");
    put("MainHeight", "11000");
    start();
    EXPECT_EQ(main->width(), 9000.0f);
    EXPECT_EQ(main->height(), 11000.0f);
    main->close();
    EXPECT_EQ(stored("MainWidth"), "9000");
    EXPECT_EQ(stored("MainHeight"), "11000");
}

TEST_F(StartUp, ReadsItsTwentyKeysInOrderAndCloseWritesPositionAndTheFiveOptionsOnly) {
    start();
    EXPECT_EQ(platform.store.reads,
              (std::vector<std::string>{
                  "MainLeft", "MainTop", "MainWidth", "MainHeight", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                  "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX", "CLI_NAME_TEXTBOX",
                  "UPDATE_EXTERNAL_FILE_TICKBOX", "RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX",
                  "UPDATE_EXTERNAL_FILE_TEXTBOX", "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX",
                  "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX",
                  "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX",
                  "AlwaysOnTopTimer_TICKBOX"}));
    main->post_close();
    scheduler.run_due();
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(platform.store.writes,
              (std::vector<std::string>{"MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                                        "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX"}));
}

TEST_F(StartUp, EachRestoredOptionRunsItsClickHandlingBeforeTheNextKeyIsRead) {
    put("CLI_GBC_BAT_TICKBOX", "1");
    put("AUTOSTART_TICKBOX", "1");
    start();
    auto keys_read_when = [&](std::string_view control, bool enabled) -> std::size_t {
        for (const auto& r : history)
            if (r.control == control && r.prop == Prop::Enabled && r.enabled == enabled) return r.keys_read;
        return 0;
    };
    // The G-B-C interlock locked the stop option right after its own key (the fifth) was read...
    EXPECT_EQ(keys_read_when("CLI_STOP_BAT_TICKBOX", false), 5u);
    // ...and Auto Start, enabled by it, enabled Auto Close right after the eighth.
    EXPECT_EQ(keys_read_when("AUTOCLOSE_TIMER_TICKBOX", true), 8u);
    // Then the automatic start locked it again.
    EXPECT_FALSE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
}

TEST_F(StartUp, MovingAndClosingStoresTheNewPositionWhichTheNextStartUses) {
    start();
    main->set_position(2345.5f, 678.0f);
    main->close();
    EXPECT_EQ(stored("MainLeft"), "2345.5");
    EXPECT_EQ(stored("MainTop"), "678");
    main.reset();
    start();
    EXPECT_EQ(main->left(), 2345.5f);
    EXPECT_EQ(main->top(), 678.0f);
}

TEST_F(StartUp, TwoExecutableNamesKeepTwoSectionsNeitherTouchingTheOther) {
    platform.executable.exe = "NODE-A";
    put("CLI_NAME_TEXTBOX", "a-cli.exe");
    start();
    (*this)["CLI_STOP_BAT_TICKBOX"].set_value(1);
    main->set_position(100, 200);
    main->close();
    main.reset();

    platform.executable.exe = "NODE-B";
    start();
    EXPECT_EQ(main->caption(), "TARNWICK - VQ-DAZ-ER - NODE-B");
    EXPECT_EQ((*this)["APP_EXE_NAME_LABEL"].caption(), "NODE-B");
    EXPECT_EQ((*this)["CLI_NAME_TEXTBOX"].text(), "");
    EXPECT_EQ((*this)["CLI_STOP_BAT_TICKBOX"].value(), 0);
    EXPECT_EQ(main->left(), 1000.0f);
    main->close();

    for (const auto& [key, value] : platform.store.values) {
        if (key.first == "NODE-A") continue;
        EXPECT_EQ(key.first, "NODE-B") << key.second;
    }
    EXPECT_EQ(platform.store.value("NODE-A", "CLI_STOP_BAT_TICKBOX"), "1");
    EXPECT_EQ(platform.store.value("NODE-A", "MainLeft"), "100");
    EXPECT_EQ(platform.store.value("NODE-A", "CLI_NAME_TEXTBOX"), "a-cli.exe");
    EXPECT_EQ(platform.store.value("NODE-B", "CLI_STOP_BAT_TICKBOX"), "0");
    EXPECT_EQ(platform.store.value("NODE-B", "MainLeft"), "1000");
    EXPECT_EQ(platform.store.applications, (std::set<std::string>{"VQ-DAZ-ER"}));
}

TEST_F(StartUp, AStoredGreyedOptionRunsNoInterlockAndSelectsNoStartUpState) {
    // Value 2 is neither ticked nor unticked: no branch of the option's
    // handler and none of the three start-up states applies, so the button
    // keeps its design caption, which counts as a running run.
    put("CLI_GBC_BAT_TICKBOX", "2");
    put("AUTOSTART_TICKBOX", "1");
    start();
    EXPECT_EQ((*this)["CLI_GBC_BAT_TICKBOX"].value(), 2);
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START- STOP");
    EXPECT_FALSE(scheduler.timer_due((*this)["GET_LOOP_TIMER"]).has_value());
    EXPECT_FALSE(scheduler.timer_due((*this)["COUNTDOWN_TIMER"]).has_value());
    EXPECT_EQ((*this)["AUTOSTART_TICKBOX"].value(), 1);
    EXPECT_TRUE((*this)["AUTOSTART_TICKBOX"].enabled());  // no unticked branch ran for the 2
    EXPECT_TRUE((*this)["AUTOCLOSE_TIMER_TICKBOX"].enabled());
    // The design caption is not "START": the first click stops, the second starts.
    advance(1000);
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    click("START_STOP_BUTTON");
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
}


TEST_F(StartUp, ASaveThatFailsAtClosingIsReportedAndTheWindowClosesAllTheSame) {
    start();
    platform.store.fail_saves = true;
    main->post_close();
    scheduler.run_due();
    EXPECT_TRUE(main->closed());
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("save settings"), std::string::npos);
    EXPECT_FALSE(scheduler.next_due().has_value());
}

TEST_F(StartUp, AutoCloseWithAFailingStoreStillEndsTheProgramOnce) {
    put("CLI_STOP_BAT_TICKBOX", "1");
    put("AUTOSTART_TICKBOX", "1");
    put("AUTOCLOSE_TIMER_TICKBOX", "1");
    put("CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", kStopBat);
    start();
    platform.store.fail_saves = true;
    advance(60000);
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_EQ(runs_of(kStopBat).size(), 1u);
}

}  // namespace
}  // namespace vqd::test
