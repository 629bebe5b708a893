// What the windows do when the settings store fails: a store that cannot be
// read at start-up, saves that fail at closing, and how many writes a save takes.
#include "main_window_fixture.h"

#include "extras/extras_options.h"
#include "platform/fake/fake_desktop.h"
#include "windows/extras_monitor.h"
#include "windows/extras_window.h"
#include "windows/settings_window.h"

namespace vqd::test {
namespace {

using StoreStartup = MainWindowTest;
using StoreSaves = MainWindowTest;

// The additions share the main window's settings, and with them its guard.
class StoreExtras : public MainWindowTest {
protected:
    fake::Desktop desktop;
    std::unique_ptr<ExtrasMonitor> monitor;
    void start_all() {
        start();
        monitor = std::make_unique<ExtrasMonitor>(scheduler, platform.services(), desktop.services(), *main);
        monitor->start();
        scheduler.run_due();
    }
    // The Extras window with the metrics file ticked on, saved.
    ExtrasWindow& save_extras() {
        ExtrasWindow* opened = nullptr;
        monitor->on_extras_opened = [&](ExtrasWindow& w) { opened = &w; };
        monitor->open_extras();
        scheduler.run_due();
        EXPECT_NE(opened, nullptr);
        ExtrasWindow& w = *opened;
        w["METRICS_FILE_TICKBOX"].set_value(1);
        w["METRICS_PATH_TEXTBOX"].set_text("/srv/textfile/node.prom");
        w.post_click(w["SAVE_BUTTON"]);
        scheduler.run_due();
        return w;
    }
};

std::size_t count_containing(const std::vector<std::string>& messages, const std::string& part) {
    std::size_t n = 0;
    for (const auto& m : messages) n += m.find(part) != std::string::npos;
    return n;
}

TEST_F(StoreStartup, UnreadableStoreStartsCompleteWithDefaultsAndReportsOnce) {
    put("MainLeft", "3000");
    put("CLI_GBC_BAT_TICKBOX", "1");
    platform.store.unreadable.insert(platform.executable.exe);
    start();

    // Every key took its default, and start-up went to its end.
    EXPECT_EQ(main->left(), 1000);
    EXPECT_EQ(main->width(), 5280);
    EXPECT_EQ(main->height(), 3630);
    EXPECT_EQ(main->caption(), "TARNWICK - VQ-DAZ-ER - VQ-DAZ-ER");
    EXPECT_EQ((*this)["CLI_GBC_BAT_TICKBOX"].value(), 0);
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "START");
    EXPECT_EQ((*this)["UNLOAD_TIMER"].interval(), 10000);
    EXPECT_TRUE((*this)["AlwaysOnTopTimer"].enabled());
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("could not be read"), std::string::npos) << platform.errors.messages[0];
    EXPECT_EQ(main->status(), platform.errors.messages[0]);

    // The window works: the watcher ticks, the settings window opens (and finds the store unreadable too).
    advance(3000);
    EXPECT_EQ(platform.processes.queries.size(), 3u);
    click("SETTINGS_BUTTON");
    ASSERT_NE(main->settings_window(), nullptr);
    EXPECT_EQ(main->settings_window()->width(), 12105);
    EXPECT_EQ(platform.errors.messages.size(), 1u);  // the same failure, not logged twice

    // Closing does not replace the unreadable settings by defaults; it says so.
    main->settings_window()->post_close();
    scheduler.run_due();
    main->post_close();
    scheduler.run_due();
    EXPECT_TRUE(main->closed());
    EXPECT_TRUE(platform.store.writes.empty());
    EXPECT_EQ(stored("MainLeft"), "3000");
    EXPECT_EQ(count_containing(platform.errors.messages, "not saved"), 2u);
}

TEST_F(StoreStartup, HandEditedLinesAreNamedAtStartUpAndSavesGoOn) {
    put("MainLeft", "3000");
    platform.store.notes[platform.executable.exe] = {"line 4: a value runs past its line end"};
    start();
    EXPECT_EQ(main->left(), 3000);  // the keys themselves were read
    ASSERT_EQ(platform.errors.messages.size(), 1u);
    EXPECT_NE(platform.errors.messages[0].find("line 4: a value runs past its line end"), std::string::npos)
        << platform.errors.messages[0];
    EXPECT_EQ(main->status(), platform.errors.messages[0]);
    // Once "Save To Registry" leaves no edited line, the report goes.
    click("SETTINGS_BUTTON");
    ASSERT_NE(main->settings_window(), nullptr);
    main->settings_window()->post_click((*main->settings_window())["SAVE_REGISTRY_BUTTON"]);
    scheduler.run_due();
    EXPECT_EQ(main->status(), platform.errors.messages[0]);
    platform.store.notes.clear();
    main->settings_window()->post_click((*main->settings_window())["SAVE_REGISTRY_BUTTON"]);
    scheduler.run_due();
    EXPECT_EQ(main->status(), "");
    main->settings_window()->post_close();
    scheduler.run_due();
    main->post_close();
    scheduler.run_due();
    EXPECT_EQ(platform.store.batches.size(), 4u);  // unlike an unreadable store, this one is saved
}

TEST_F(StoreSaves, ClosingWritesTheStoreOnceWithPositionAndFiveOptions) {
    start();
    main->post_close();
    scheduler.run_due();
    ASSERT_EQ(platform.store.batches.size(), 1u);
    EXPECT_EQ(platform.store.batches[0],
              (std::vector<std::string>{"MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                                        "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX"}));
}

TEST_F(StoreSaves, SaveToRegistryWritesTheStoreOnceAndAFailedSaveChangesNothing) {
    start();
    click("SETTINGS_BUTTON");
    SettingsWindow& s = *main->settings_window();
    s.post_edit(s["CLI_NAME_TEXTBOX"], "cli.exe");
    scheduler.run_due();

    platform.store.fail_saves = true;
    s.post_click(s["SAVE_REGISTRY_BUTTON"]);
    scheduler.run_due();
    EXPECT_TRUE(platform.store.batches.empty());
    EXPECT_EQ((*this)["CLI_NAME_TEXTBOX"].text(), "");  // nothing copied into the main window either
    EXPECT_EQ(count_containing(platform.errors.messages, "SAVE_REGISTRY_BUTTON_Click failed"), 1u);

    platform.store.fail_saves = false;
    s.post_click(s["SAVE_REGISTRY_BUTTON"]);
    scheduler.run_due();
    ASSERT_EQ(platform.store.batches.size(), 1u);
    EXPECT_EQ(platform.store.batches[0].size(), 18u);
    EXPECT_EQ(platform.store.batches[0].front(), "SETTINGS-Left");
    EXPECT_EQ(platform.store.batches[0].back(), "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX");
    EXPECT_EQ((*this)["CLI_NAME_TEXTBOX"].text(), "cli.exe");
    EXPECT_EQ(main->status(), "");  // the save worked: its failure is cleared
}

// Auto Close while the settings window is open closes that window first.
TEST_F(StoreSaves, AutoCloseWithSettingsOpenSavesTheMainWindowWhenTheSettingsPositionFails) {
    for (const bool main_fails_too : {false, true}) {
        SCOPED_TRACE(main_fails_too ? "both saves fail" : "only the settings position fails");
        platform = fake::Platform{};
        start();
        click("SETTINGS_BUTTON");
        ASSERT_NE(main->settings_window(), nullptr);
        (*this)["AUTOCLOSE_TIMER_TICKBOX"].set_value(1);
        (*this)["UNLOAD_TIMER"].set_enabled(true);
        platform.store.failing_keys = {"SETTINGS-Left"};
        if (main_fails_too) platform.store.failing_keys.insert("MainLeft");
        advance(10000);
        EXPECT_TRUE(main->closed());
        EXPECT_EQ(count_containing(platform.errors.messages, "VQ_CLI_UI_SETTINGS_Unload failed"), 1u);
        if (main_fails_too) {
            EXPECT_EQ(count_containing(platform.errors.messages, "UNLOAD_TIMER_Timer failed"), 1u);
            EXPECT_EQ(stored("AUTOCLOSE_TIMER_TICKBOX"), std::nullopt);
        } else {
            EXPECT_EQ(platform.errors.messages.size(), 1u);
            EXPECT_EQ(stored("MainLeft"), "1000");
            EXPECT_EQ(stored("AUTOCLOSE_TIMER_TICKBOX"), "1");
        }
        main.reset();
    }
}

TEST_F(StoreExtras, TheExtrasWindowSavesItsSixKeysInOneWrite) {
    start_all();
    EXPECT_TRUE(save_extras().closed());
    ASSERT_EQ(platform.store.batches.size(), 1u);
    EXPECT_EQ(platform.store.batches[0],
              (std::vector<std::string>{"Extras.TrayIconOff", "Extras.HealthCues", "Extras.StaleMinutes",
                                        "Extras.MetricsFile", "Extras.MetricsPath", "Extras.StartAtLogin"}));
    EXPECT_EQ(stored("Extras.MetricsPath"), "/srv/textfile/node.prom");
}

TEST_F(StoreExtras, AfterAFailedReadTheExtrasWindowDoesNotSaveAndSaysWhy) {
    put("Extras.StaleMinutes", "12");
    platform.store.unreadable.insert(platform.executable.exe);
    start_all();
    EXPECT_EQ(monitor->options().stale_minutes, 30);
    ExtrasWindow& w = save_extras();
    EXPECT_FALSE(w.closed());
    EXPECT_NE(w.status().find("SAVE_BUTTON_Click failed: save settings"), std::string::npos) << w.status();
    EXPECT_NE(w.status().find("could not be read"), std::string::npos) << w.status();
    EXPECT_TRUE(platform.store.writes.empty());
    EXPECT_EQ(stored("Extras.StaleMinutes"), "12");
    EXPECT_FALSE(monitor->options().metrics_file) << "options not saved are not applied either";
}

// The main window read the store; it failed only when the additions read it.
TEST_F(StoreExtras, AFailedReadOfTheExtrasKeysIsReportedAndKeepsEveryWindowFromSaving) {
    put("MainLeft", "3000");
    start();
    platform.store.unreadable.insert(platform.executable.exe);
    monitor = std::make_unique<ExtrasMonitor>(scheduler, platform.services(), desktop.services(), *main);
    monitor->start();
    scheduler.run_due();
    EXPECT_EQ(count_containing(platform.errors.messages, "could not be read"), 1u);
    EXPECT_NE(main->status().find("could not be read"), std::string::npos) << main->status();
    EXPECT_EQ(monitor->options(), ExtrasOptions{});

    main->post_close();
    scheduler.run_due();
    EXPECT_TRUE(main->closed());
    EXPECT_TRUE(platform.store.writes.empty());
    EXPECT_EQ(stored("MainLeft"), "3000");
    EXPECT_EQ(count_containing(platform.errors.messages, "not saved"), 1u);
}

}  // namespace
}  // namespace vqd::test
