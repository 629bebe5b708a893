// The additions on the virtual clock: what they read from the main window's
// polls and watcher, the health cues and what they announce, the metrics
// file, the tray icon (when it shows, its menu, its clicks, the title band's
// menu) and the Extras window.
#include "main_window_fixture.h"

#include "extras/announcements.h"
#include "extras/extras_options.h"
#include "platform/fake/fake_desktop.h"
#include "windows/extras_settings.h"
#include "windows/extras_monitor.h"
#include "windows/extras_window.h"

#include <clocale>
#include <ostream>
#include <stdexcept>

namespace vqd::test {
namespace {

// The C library's locale for one scope (the Qt front end sets the user's); C again afterwards.
struct ScopedLocale {
    bool ok;
    explicit ScopedLocale(const char* name) : ok(std::setlocale(LC_ALL, name) != nullptr) {}
    ~ScopedLocale() { std::setlocale(LC_ALL, "C"); }
};

const std::string kMetrics = "/var/lib/node_exporter/textfile/node.prom";

class Extras : public MainWindowTest {
protected:
    fake::Desktop desktop;
    std::unique_ptr<ExtrasMonitor> monitor;

    void start_all() {
        start();
        monitor = std::make_unique<ExtrasMonitor>(scheduler, platform.services(), desktop.services(), *main);
        monitor->start();
    }
    const std::vector<fake::Notifier::Shown>& told() const { return desktop.notifier.shown; }
    std::vector<std::string> menu_captions() {
        std::vector<std::string> out;
        for (const auto& e : desktop.tray.open_menu()) out.push_back(e.caption);
        return out;
    }
    // The 60-second loop with the block poll on, from 1 s.
    void run_block_loop() {
        advance_to(1000);
        click("CLI_GBC_BAT_TICKBOX");
    }
    int metrics_writes() const {
        return int(std::count(platform.files.written.begin(), platform.files.written.end(), kMetrics));
    }
};

TEST_F(Extras, CountsAreParsedLikeTheClientWritesThem) {
    EXPECT_EQ(parse_count("812345\r\n"), 812345);
    EXPECT_EQ(parse_count(" 0\n"), 0);
    for (const char* bad : {"", "\r\n", "-1", "12a", "error: Could not connect", "1 2"})
        EXPECT_FALSE(parse_count(bad).has_value()) << bad;
}

TEST_F(Extras, OptionsAreOffByDefaultAndABadStoredValueGivesTheDefault) {
    Settings settings(platform.store, platform.executable);
    EXPECT_EQ(load_extras_options(settings), ExtrasOptions{});
    put(std::string(kStaleMinutesKey), "0");
    put(std::string(kHealthCuesKey), "yes");
    EXPECT_EQ(load_extras_options(settings), ExtrasOptions{});
    for (const char* bad : {"", "0", "10081", "2.5", "-3", "999999"}) EXPECT_FALSE(parse_stale_minutes(bad)) << bad;
    EXPECT_EQ(parse_stale_minutes(" 45 "), 45);

    ExtrasOptions o{.tray_icon_off = true, .health_cues = true, .stale_minutes = 12, .metrics_file = true,
                    .metrics_path = kMetrics};
    save_extras_options(settings, o);
    EXPECT_EQ(load_extras_options(settings), o);
    // Every key holds a dot, so no control of any window can share its name.
    for (const auto& key : platform.store.writes) EXPECT_NE(key.find('.'), std::string::npos) << key;
}

TEST_F(Extras, WithEverythingOffNoHandlerOfTheAdditionsRuns) {
    configure_files();
    put(std::string(kTrayIconOffKey), "1");
    start_all();
    EXPECT_FALSE(scheduler.timer_due((*monitor)["EXTRAS_MONITOR_TIMER"]).has_value());
    run_block_loop();
    advance(180000);
    EXPECT_EQ(metrics_writes(), 0);
    EXPECT_TRUE(told().empty());
    EXPECT_EQ(desktop.tray.shows, 0);
    // The tray still knows the counts: they come from the change stream alone.
    EXPECT_EQ(monitor->node().block, "812345\r\n");
    EXPECT_FALSE(monitor->cue_raised());
}

TEST_F(Extras, PollsAndTheWatcherAreReadFromTheMainWindow) {
    configure_files("812345\r\n", "8\r\n");
    start_all();
    EXPECT_FALSE(monitor->node().client_running.has_value());
    advance_to(1000);
    EXPECT_EQ(monitor->node().client_running, false);
    click("GETBLOCKCOUNT_BUTTON");
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(20000);
    const NodeState& n = monitor->node();
    // Block poll: ticks at 2 s, reads at 7 s; the connection poll's tick is
    // held until the block poll ends at 9 s, and it reads at 14 s.
    EXPECT_EQ(n.block_read_at, 7000);
    EXPECT_EQ(n.peers_read_at, 14000);
    EXPECT_EQ(n.peers, "8\r\n");
    EXPECT_EQ(monitor->tooltip(), "VQ-DAZ-ER\nBlock 812345, 14 s ago\nPeers 8, 7 s ago\nClient not running");

    // The same count again still counts as a read, but not as a change.
    advance_to(30000);
    click("GETBLOCKCOUNT_BUTTON");
    advance(10000);
    EXPECT_EQ(monitor->node().block_read_at, 36000);
    EXPECT_EQ(monitor->node().block_changed_at, 7000);
}

TEST_F(Extras, AStaleTipIsRaisedAfterTheChosenMinutesOfTheLoopAndClearedByANewCount) {
    configure_files();
    put(std::string(kHealthCuesKey), "1");
    put(std::string(kStaleMinutesKey), "5");
    start_all();
    run_block_loop();  // the loop starts at 1 s; the first read lands at 67 s
    advance_to(301000 - 1);
    EXPECT_FALSE(monitor->cues().stale_tip);
    // The count read at 67 s was new; five minutes after it, at the next monitor tick.
    advance_to(367000);
    EXPECT_TRUE(monitor->cues().stale_tip);
    EXPECT_TRUE(monitor->cue_raised());
    EXPECT_NE(monitor->tooltip().find("STALE TIP"), std::string::npos);
    // The icon shows it at the same tick; the desktop hears of it once it held a minute.
    EXPECT_EQ(desktop.tray.picture, TrayPicture::Cue);
    EXPECT_EQ(desktop.tray.tooltip, monitor->tooltip());
    EXPECT_TRUE(told().empty());
    advance_to(427000);
    ASSERT_EQ(told().size(), 1u);
    EXPECT_EQ(told()[0].kind, "stale_tip");
    EXPECT_EQ(told()[0].body, "No new block for 5 min");

    advance(60000);
    EXPECT_EQ(told().size(), 1u) << "once per change, not once per tick";
    platform.runner.on_run = [this](const std::string& line) {
        if (line == kGbcBat) platform.files.content[kGbcLog] = "812346\n";
    };
    advance(60000);
    EXPECT_FALSE(monitor->cues().stale_tip);
    EXPECT_EQ(desktop.tray.picture, TrayPicture::Plain);
    advance(60000);
    ASSERT_EQ(told().size(), 2u);
    EXPECT_EQ(told()[1].kind, "stale_tip");
    EXPECT_EQ(told()[1].body, "Tip moving again: a new block count arrived");

    // Stopping the loop ends the cue's clock: no stale tip however long it stays stopped.
    (*this)["CLI_GBC_BAT_TICKBOX"].set_value(0);
    advance(3600000);
    EXPECT_FALSE(monitor->cues().stale_tip);
}

TEST_F(Extras, NoPeersAndASilentClientAreRaisedOnceAndCleared) {
    configure_files("\r\n", "0\r\n");
    put(std::string(kHealthCuesKey), "1");
    start_all();
    advance_to(1000);
    click("GETBLOCKCOUNT_BUTTON");
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(20000);
    EXPECT_TRUE(monitor->cues().silent_client);
    EXPECT_TRUE(monitor->cues().no_peers);
    advance(60000);
    EXPECT_EQ(told().size(), 2u);

    configure_files("812345\r\n", "3\r\n");
    click("GETBLOCKCOUNT_BUTTON");
    click("GETCONNECTIONCOUNT_BUTTON");
    advance(20000);
    EXPECT_FALSE(monitor->cues().any());
    advance(60000);
    EXPECT_EQ(told().size(), 4u);
    // The count boxes keep the colours the polls give them.
    EXPECT_EQ((*this)["CONNECTIONS_TEXTBOX"].back_colour(), colours::black);
}

TEST_F(Extras, AMissingLogIsASilentClientAndKeepsTheLastCount) {
    configure_files();
    put(std::string(kHealthCuesKey), "1");
    start_all();
    advance_to(1000);
    click("GETBLOCKCOUNT_BUTTON");
    advance(10000);
    platform.runner.on_run = nullptr;
    platform.files.content.erase(kGbcLog);
    click("GETBLOCKCOUNT_BUTTON");
    advance(10000);
    EXPECT_TRUE(monitor->cues().silent_client);
    EXPECT_EQ(monitor->node().block_read_at, 7000);
    EXPECT_EQ(monitor->node().block, "812345\r\n");
}

TEST_F(Extras, TheMetricsFileIsWrittenAfterEachChangeOnlyAndLabelledWithTheSection) {
    platform.executable.exe = "node-a";
    configure_files();
    put(std::string(kMetricsFileKey), "1");
    put(std::string(kMetricsPathKey), kMetrics);
    put(std::string(kHealthCuesKey), "1");
    start_all();
    advance_to(1000);
    EXPECT_EQ(metrics_writes(), 1);  // at the first tick, after the watcher's first look
    advance(30000);
    EXPECT_EQ(metrics_writes(), 1) << "nothing changed, nothing written";
    click("GETBLOCKCOUNT_BUTTON");
    advance(7000);
    EXPECT_EQ(metrics_writes(), 2);
    const std::string& text = platform.files.content[kMetrics];
    EXPECT_NE(text.find("vqdazer_blocks{section=\"node-a\"} 812345\n"), std::string::npos) << text;
    // The monitor's tick is held while the poll handler waits: the file is
    // written when the poll ends, two seconds after its read.
    EXPECT_NE(text.find("vqdazer_blocks_age_seconds{section=\"node-a\"} 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vqdazer_client_running{section=\"node-a\"} 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vqdazer_health_cue{section=\"node-a\",cue=\"no_peers\"} 0\n"), std::string::npos);
    // The peer count was never read: its family has no sample.
    EXPECT_EQ(text.find("vqdazer_connections{"), std::string::npos);
}

TEST_F(Extras, ALabelValueIsEscaped) {
    NodeState n;
    const std::string text = metrics_text("a\"b\\c", n, Cues{}, false, 0);
    EXPECT_NE(text.find("section=\"a\\\"b\\\\c\""), std::string::npos) << text;
}

TEST_F(Extras, ALabelValueIsValidUtf8WithEveryBrokenSequenceReplaced) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string section, label;
    } cases[] = {
        {"a\nb", "a\\nb"},
        {"Zürich-Knoten \xF0\x9F\x98\x80", "Zürich-Knoten \xF0\x9F\x98\x80"},
        {"node\xFF", "node" + fffd},            // a byte that never starts a character
        {"node\xC3", "node" + fffd},            // cut short at the end
        {"\xE2\x82x", fffd + "x"},             // cut short before an ASCII byte: one replacement
        {"\xC0\xAF", fffd + fffd},             // an overlong "/"
        {"\xED\xA0\x80", fffd + fffd + fffd}, // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // above U+10FFFF
        {"\x80\"\xBF", fffd + "\\\"" + fffd},
    };
    for (const auto& c : cases) {
        const std::string text = metrics_text(c.section, NodeState{}, Cues{}, false, 0);
        EXPECT_NE(text.find("{section=\"" + c.label + "\"} 0\n"), std::string::npos) << text;
    }
}

TEST_F(Extras, MetricsNumbersAreExactAndInTheCFormatUnderAnyLocale) {
    const struct {
        std::int64_t age_ms;
        std::string text;
    } ages[] = {{8008, "8.008"}, {12000, "12"}, {500, "0.5"}, {1234567890123, "1234567890.123"}};
#ifdef _WIN32
    // The C runtime's own names for the same two locales.
    const char* const locales[] = {"German_Germany.1252", "Turkish_Turkey.1254", "C"};
#else
    const char* const locales[] = {"de_DE.UTF-8", "tr_TR.UTF-8", "C"};
#endif
    for (const char* name : locales) {
        ScopedLocale locale(name);
        ASSERT_TRUE(locale.ok) << name << " is not installed (package locales-all)";
        for (const auto& age : ages) {
            NodeState n;
            n.block = "2718281\n";
            n.block_read_at = 1000;
            const std::string text = metrics_text("s", n, Cues{}, false, 1000 + age.age_ms);
            EXPECT_NE(text.find("vqdazer_blocks_age_seconds{section=\"s\"} " + age.text + "\n"), std::string::npos)
                << name << "\n" << text;
            EXPECT_NE(text.find("vqdazer_blocks{section=\"s\"} 2718281\n"), std::string::npos) << text;
        }
    }
}

TEST_F(Extras, AFailedMetricsWriteGoesToTheMainWindowsErrorPathOnceAndIsRetried) {
    put(std::string(kMetricsFileKey), "1");
    put(std::string(kMetricsPathKey), kMetrics);
    platform.files.unwritable.insert(kMetrics);
    start_all();
    advance(5000);
    EXPECT_NE(main->status().find("EXTRAS_MONITOR_TIMER_Timer failed: write file"), std::string::npos)
        << main->status();
    EXPECT_EQ(platform.errors.messages.size(), 1u);
    platform.files.unwritable.clear();
    advance(1000);
    EXPECT_EQ(metrics_writes(), 1);
    EXPECT_EQ(main->status(), "");
}

TEST_F(Extras, TheTrayMenuPostsClicksThatObeyTheButtonsEnabledStates) {
    configure_files();
    start_all();
    // Show/Hide, then the buttons and Extras..., then Quit, each group apart.
    EXPECT_EQ(menu_captions(),
              (std::vector<std::string>{"Hide", "", "G-B-C", "G-C-C", "START", "Extras...", "", "Quit"}));
    // No option ticked: the poll buttons are disabled, and a click is dropped.
    auto menu = desktop.tray.open_menu();
    EXPECT_FALSE(menu[2].enabled);
    menu[2].chosen();
    advance(10000);
    EXPECT_TRUE(platform.runner.runs.empty());

    click("CLI_GBC_BAT_TICKBOX");
    (*this)["CLI_GBC_BAT_TICKBOX"].set_value(0);
    click("CLI_GCC_BAT_TICKBOX");
    advance(1000);
    ASSERT_TRUE(desktop.tray.choose("G-C-C"));
    advance(8000);
    EXPECT_EQ(runs_of(kGccBat).size(), 1u);

    ASSERT_TRUE(desktop.tray.choose("START"));  // the run locks the poll buttons
    scheduler.run_due();
    EXPECT_EQ((*this)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_EQ(menu_captions()[4], "STOP");
    EXPECT_FALSE(desktop.tray.choose("G-B-C"));

    ASSERT_TRUE(desktop.tray.choose("Quit"));  // the normal close: it saves
    scheduler.run_due();
    EXPECT_TRUE(main->closed());
    EXPECT_TRUE(stored("MainLeft").has_value());
    // The icon goes with the main window.
    EXPECT_FALSE(desktop.tray.shown());
}

TEST_F(Extras, TheIconShowsWhileWantedAndTheMainWindowIsOpenAndComesToAnAreaThatAppearsLater) {
    const struct {
        const char* what;
        const char* tray_icon_off;  // stored Extras.TrayIconOff
        bool area;                  // a notification area takes the icon
        bool shown;
    } rows[] = {
        {"default: shown", nullptr, true, true},
        {"switched off", "1", true, false},
        {"no notification area", nullptr, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        platform = fake::Platform{};
        desktop = fake::Desktop{};
        desktop.tray.area = row.area;
        if (row.tray_icon_off) put(std::string(kTrayIconOffKey), row.tray_icon_off);
        start_all();
        EXPECT_EQ(desktop.tray.shown(), row.shown);
        advance(3000);
        EXPECT_EQ(desktop.tray.shown(), row.shown);
        monitor.reset();
        main.reset();
    }

    // An area that appears later takes the icon at the next tick, with the
    // tooltip as it is then; the tick runs with cues and metrics off.
    platform = fake::Platform{};
    desktop = fake::Desktop{};
    desktop.tray.area = false;
    start_all();
    advance(2500);
    desktop.tray.area = true;
    advance(1000);
    EXPECT_TRUE(desktop.tray.shown());
    EXPECT_EQ(desktop.tray.tooltip, monitor->tooltip());
    EXPECT_EQ(desktop.tray.picture, TrayPicture::Plain);

    // Switched off from the Extras window: gone at once, and the tick stops.
    ExtrasOptions off = monitor->options();
    off.tray_icon_off = true;
    monitor->apply_options(off);
    EXPECT_FALSE(desktop.tray.shown());
    EXPECT_FALSE(scheduler.timer_due((*monitor)["EXTRAS_MONITOR_TIMER"]).has_value());
    off.tray_icon_off = false;
    monitor->apply_options(off);
    EXPECT_TRUE(desktop.tray.shown());

    // The main window hidden is still open: the icon stays (it is the way back).
    main->set_hidden(true);
    advance(2000);
    EXPECT_TRUE(desktop.tray.shown());
}

TEST_F(Extras, ClicksOnTheIconAndShowHideToggleTheMainWindowThroughTheScheduler) {
    start_all();
    int brought = 0;
    main->observe([&](const Change& c) {
        if (!c.control && c.prop == Prop::WindowShown && !main->hidden()) ++brought;
    });
    struct Step {
        const char* what;
        std::function<void()> act;
        bool minimized_before;
        bool hidden_after;
        int brought_after;
        const char* menu_first_after;
    };
    const Step steps[] = {
        {"a click hides it", [&] { desktop.tray.click(TrayClick::Primary); }, false, true, 0, "Show"},
        {"a click shows it again, in front", [&] { desktop.tray.click(TrayClick::Primary); }, false, false, 1, "Hide"},
        {"Hide in the menu", [&] { desktop.tray.choose("Hide"); }, false, true, 1, "Show"},
        {"Show in the menu", [&] { desktop.tray.choose("Show"); }, false, false, 2, "Hide"},
        {"minimized: a click restores it", [&] { desktop.tray.click(TrayClick::Primary); }, true, false, 3, "Hide"},
        // A double click's first click hid it; the second brings it back.
        {"a double click's first click", [&] { desktop.tray.click(TrayClick::Primary); }, false, true, 3, "Show"},
        {"the double click", [&] { desktop.tray.click(TrayClick::Double); }, false, false, 4, "Hide"},
        {"a double click on the shown window keeps it", [&] { desktop.tray.click(TrayClick::Double); }, false, false,
         4, "Hide"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        main->reported_minimized(step.minimized_before);
        if (step.minimized_before) EXPECT_EQ(menu_captions()[0], "Show");
        // Inside a handler nothing happens yet: the click waits its turn.
        scheduler.run_handler(*main, nullptr, "Busy", [&] {
            const bool before = main->hidden();
            step.act();
            EXPECT_EQ(main->hidden(), before);
        });
        scheduler.run_due();
        main->reported_minimized(false);
        EXPECT_EQ(main->hidden(), step.hidden_after);
        EXPECT_EQ(brought, step.brought_after);
        EXPECT_EQ(menu_captions()[0], step.menu_first_after);
    }
}

TEST_F(Extras, ARightClickOnTheTitleBandOffersTheTrayMenuThere) {
    start_all();
    // The title band ends where the first row of tick boxes begins.
    EXPECT_EQ(title_band_bottom_twips(*main), 600);
    const struct {
        int y_twips;
        bool offered;
    } rows[] = {{0, true}, {599, true}, {600, false}, {2000, false}, {-15, false}};
    for (const auto& row : rows) {
        desktop.tray.popups.clear();
        const bool offered = main->context_click({300, row.y_twips, {410, 220}});
        EXPECT_EQ(offered, row.offered) << row.y_twips;
        ASSERT_EQ(desktop.tray.popups.size(), row.offered ? 1u : 0u) << row.y_twips;
        if (row.offered) {
            EXPECT_EQ(desktop.tray.popups[0].x, 410);
            EXPECT_EQ(desktop.tray.popups[0].y, 220);
            EXPECT_EQ(desktop.tray.opened.size(), 8u);
        }
    }
}

TEST_F(Extras, TheExtrasWindowSavesOnlyValidOptionsAndAppliesThem) {
    start_all();
    ExtrasWindow* opened = nullptr;
    monitor->on_extras_opened = [&](ExtrasWindow& w) { opened = &w; };
    monitor->open_extras();
    scheduler.run_due();
    ASSERT_NE(opened, nullptr);
    ExtrasWindow& w = *opened;
    EXPECT_EQ(w["STALE_MINUTES_TEXTBOX"].text(), "30");

    w.post_click(w["HEALTH_CUES_TICKBOX"]);
    w.post_edit(w["STALE_MINUTES_TEXTBOX"], "half an hour");
    w.post_click(w["SAVE_BUTTON"]);
    scheduler.run_due();
    EXPECT_FALSE(w.closed());
    EXPECT_NE(w.status().find("whole number"), std::string::npos);
    EXPECT_FALSE(stored(std::string(kHealthCuesKey)).has_value());

    w.post_edit(w["STALE_MINUTES_TEXTBOX"], "45");
    w.post_click(w["SAVE_BUTTON"]);
    scheduler.run_due();
    EXPECT_TRUE(w.closed());
    EXPECT_EQ(stored(std::string(kStaleMinutesKey)), "45");
    EXPECT_TRUE(monitor->options().health_cues);
    EXPECT_TRUE(scheduler.timer_due((*monitor)["EXTRAS_MONITOR_TIMER"]).has_value());
    // The 29 keys of the two windows are untouched by a save here.
    for (const auto& key : platform.store.writes) EXPECT_EQ(key.rfind("Extras.", 0), 0u) << key;
}

// The metrics file must never land in the working folder or over a file the
// program keeps or runs. Fake paths of both kinds: the fakes take either.
TEST_F(Extras, TheExtrasWindowRefusesAMetricsPathThatIsRelativeOrAFileOfTheProgram) {
    configure_files();
    platform.errors.own = {{"the settings file", "/home/u/.config/VQ-DAZ-ER/VQ-DAZ-ER.ini"},
                           {"the error log", "/home/u/.config/VQ-DAZ-ER/VQ-DAZ-ER-errors.log"}};
    start_all();
    ExtrasWindow* opened = nullptr;
    monitor->on_extras_opened = [&](ExtrasWindow& w) { opened = &w; };
    auto save_metrics = [&](const std::string& path) -> ExtrasWindow& {
        opened = nullptr;
        monitor->open_extras();
        scheduler.run_due();
        if (!opened) throw std::runtime_error("the Extras window did not open");
        (*opened)["METRICS_FILE_TICKBOX"].set_value(1);
        (*opened)["METRICS_PATH_TEXTBOX"].set_text(path);
        opened->post_click((*opened)["SAVE_BUTTON"]);
        scheduler.run_due();
        return *opened;
    };
    const struct {
        std::string path, reason;
    } cases[] = {
        {"", "the metrics file needs a full path"},
        {"node.prom", "the metrics file needs a full path, not \"node.prom\""},
        {"/home/u/.config/VQ-DAZ-ER//./VQ-DAZ-ER.ini", "that is the settings file"},
        {"/home/u/.config/x/../VQ-DAZ-ER/VQ-DAZ-ER-errors.log", "that is the error log"},
        {kStopBat, "that is the stop batch file"},
        {kGbcLog, "that is the block count log"},
        {"C:\\VQ\\.\\DAZ-ER-GCC.LOG", "that is the connection count log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ExtrasWindow& w = save_metrics(c.path);
        EXPECT_FALSE(w.closed());
        EXPECT_NE(w.status().find("SAVE_BUTTON_Click failed: "), std::string::npos) << w.status();
        EXPECT_NE(w.status().find(c.reason), std::string::npos) << w.status();
        EXPECT_EQ(platform.errors.messages.back(), w.status());
        EXPECT_TRUE(platform.store.writes.empty());
        EXPECT_FALSE(monitor->options().metrics_file);
        w.post_click(w["CLOSE_BUTTON"]);
        scheduler.run_due();
    }
    EXPECT_TRUE(save_metrics(kMetrics).closed());  // a path of its own is taken
    EXPECT_EQ(stored(std::string(kMetricsPathKey)), kMetrics);
}

// The tick shows the session's start-up list, not the stored key: the user
// may have removed or disabled the entry there.
TEST_F(Extras, TheStartAtLoginTickShowsTheRealStateAndSaveWritesTheEntryBeforeTheKey) {
    start_all();
    ExtrasWindow* opened = nullptr;
    monitor->on_extras_opened = [&](ExtrasWindow& w) { opened = &w; };
    auto open = [&]() -> ExtrasWindow& {
        opened = nullptr;
        monitor->open_extras();
        scheduler.run_due();
        if (!opened) throw std::runtime_error("the Extras window did not open");
        return *opened;
    };
    for (bool real : {true, false}) {
        desktop.start_at_login.on = real;
        put(std::string(kStartAtLoginKey), real ? "0" : "1");
        ExtrasWindow& w = open();
        EXPECT_EQ(w["START_AT_LOGIN_TICKBOX"].value(), real ? 1 : 0);
        w.post_click(w["CLOSE_BUTTON"]);
        scheduler.run_due();
    }
    EXPECT_EQ(desktop.start_at_login.writes, 0);

    struct Row {
        const char* what;
        bool real;                          // the entry before Save
        std::optional<std::string> fail;    // the entry's write fails with this
        bool store_fails;
        bool on_after;
        int writes;                         // entry writes that took
        std::optional<std::string> key;     // Extras.StartAtLogin after Save
    };
    const Row rows[] = {
        {"ticked: the entry, then the key", false, {}, false, true, 1, "1"},
        {"unticked: the entry goes", true, {}, false, false, 1, "0"},
        {"the entry cannot be written: nothing changes", false, "Permission denied", false, false, 0, {}},
        {"the keys cannot be saved: the entry is put back", false, {}, true, false, 2, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        platform.store = {};
        platform.store.fail_saves = row.store_fails;
        desktop.start_at_login = {};
        desktop.start_at_login.on = row.real;
        ExtrasWindow& w = open();
        w.post_click(w["START_AT_LOGIN_TICKBOX"]);
        desktop.start_at_login.fail = row.fail;
        w.post_click(w["SAVE_BUTTON"]);
        scheduler.run_due();
        EXPECT_EQ(desktop.start_at_login.on, row.on_after);
        EXPECT_EQ(desktop.start_at_login.writes, row.writes);
        EXPECT_EQ(stored(std::string(kStartAtLoginKey)), row.key);
        const bool failed = row.fail || row.store_fails;
        EXPECT_EQ(w.closed(), !failed) << w.status();
        if (row.fail) {
            EXPECT_NE(w.status().find("SAVE_BUTTON_Click failed: "), std::string::npos) << w.status();
            EXPECT_NE(w.status().find(*row.fail), std::string::npos) << w.status();
            EXPECT_TRUE(platform.store.writes.empty());
        }
        if (failed) {
            EXPECT_EQ(platform.errors.messages.back(), w.status());
            w.post_click(w["CLOSE_BUTTON"]);
            scheduler.run_due();
        }
    }

    // Saved with the tick as the entry already is: the keys only.
    desktop.start_at_login = {};
    desktop.start_at_login.on = true;
    platform.store = {};
    ExtrasWindow& w = open();
    w.post_click(w["SAVE_BUTTON"]);
    scheduler.run_due();
    EXPECT_EQ(desktop.start_at_login.writes, 0);
    EXPECT_EQ(stored(std::string(kStartAtLoginKey)), "1");
}

// A stored path is checked again at each write: it may be relative from an
// earlier version, or the main window's files may have moved onto it since.
TEST_F(Extras, AMetricsPathRefusedAtWritingIsReportedOnceAndNothingIsWritten) {
    for (const std::string& path : {kGbcLog, std::string("node.prom")}) {
        SCOPED_TRACE(path);
        platform = fake::Platform{};
        configure_files();
        put(std::string(kMetricsFileKey), "1");
        put(std::string(kMetricsPathKey), path);
        start_all();
        advance_to(1000);
        click("GETBLOCKCOUNT_BUTTON");
        advance(10000);
        EXPECT_NE(main->status().find("EXTRAS_MONITOR_TIMER_Timer failed: the metrics file"), std::string::npos)
            << main->status();
        EXPECT_EQ(std::count(platform.files.written.begin(), platform.files.written.end(), path), 0);
        if (path == kGbcLog) {
            EXPECT_EQ(platform.files.content[kGbcLog], "812345\r\n");
        }
        EXPECT_EQ(platform.errors.messages.size(), 1u);
        monitor.reset();
        main.reset();
    }
}

// --- What the cues tell the desktop, on the monitor's one-second ticks ---

struct Told {
    std::int64_t at_s;
    std::string kind, summary;
    friend bool operator==(const Told&, const Told&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Told& t) {
        return os << t.at_s << " s " << t.kind << " \"" << t.summary << '"';
    }
};

// Ticks every second from 0 to `end_s`, the cues changing at the given
// seconds, and lists what was announced when.
std::vector<Told> announce_over(const std::vector<std::pair<std::int64_t, Cues>>& changes, std::int64_t end_s,
                                Announcer& announcer, int stale_minutes = 30) {
    std::vector<Told> told;
    Cues cues;
    auto next = changes.begin();
    for (std::int64_t s = 0; s <= end_s; ++s) {
        while (next != changes.end() && next->first <= s) cues = (next++)->second;
        for (const auto& a : announcer.update(cues, s * 1000, stale_minutes)) told.push_back({s, a.kind, a.summary});
    }
    return told;
}

Cues peers_cue(bool on) {
    Cues c;
    c.no_peers = on;
    return c;
}

TEST(Announcements, ACueIsToldOnceItHeldAMinuteAndAgainWhenItClearsWithAtMostOnePerMinute) {
    struct Row {
        const char* what;
        std::vector<std::pair<std::int64_t, bool>> peers;  // second, no-peers cue
        std::vector<Told> told;
    };
    const Row rows[] = {
        {"held, then cleared", {{10, true}, {730, false}},
         {{70, "no_peers", "No peers"}, {730, "no_peers", "No peers: recovered after 12 minutes"}}},
        {"cleared within the minute: never told", {{10, true}, {69, false}}, {}},
        {"cleared right after it was told: the recovery waits for the minute", {{0, true}, {70, false}},
         {{60, "no_peers", "No peers"}, {120, "no_peers", "No peers: recovered after 1 minute"}}},
        {"back before the recovery was due: nothing more", {{0, true}, {70, false}, {90, true}},
         {{60, "no_peers", "No peers"}}},
        {"raised again after a told recovery: a new minute to hold", {{0, true}, {70, false}, {125, true}},
         {{60, "no_peers", "No peers"},
          {120, "no_peers", "No peers: recovered after 1 minute"},
          {185, "no_peers", "No peers"}}},
        {"hours", {{0, true}, {7500, false}},
         {{60, "no_peers", "No peers"}, {7500, "no_peers", "No peers: recovered after 2 hours 5 minutes"}}},
    };
    for (const auto& row : rows) {
        std::vector<std::pair<std::int64_t, Cues>> changes;
        for (auto [s, on] : row.peers) changes.push_back({s, peers_cue(on)});
        Announcer announcer;
        EXPECT_EQ(announce_over(changes, 8000, announcer), row.told) << row.what;
    }

    // A peer count flapping every 5 s for ten minutes after the cue was told:
    // one recovery at the minute, and the flaps never hold long enough to be
    // told again; the last state (clear) is what the desktop shows.
    std::vector<std::pair<std::int64_t, Cues>> flaps{{0, peers_cue(true)}};
    for (std::int64_t s = 100; s < 700; s += 5) flaps.push_back({s, peers_cue((s / 5) % 2 == 1)});
    flaps.push_back({700, peers_cue(false)});
    Announcer announcer;
    EXPECT_EQ(announce_over(flaps, 1000, announcer),
              (std::vector<Told>{{60, "no_peers", "No peers"},
                                 {120, "no_peers", "No peers: recovered after 2 minutes"}}));
}

TEST(Announcements, EachCueIsItsOwnKindWithTheCuesWording) {
    Cues all;
    all.stale_tip = all.no_peers = all.silent_client = true;
    Announcer announcer;
    std::vector<Announcement> raised, cleared;
    for (std::int64_t s = 0; s <= 200; ++s) {
        const Cues now = s < 100 ? all : Cues{};
        for (auto& a : announcer.update(now, s * 1000, 5)) (s < 100 ? raised : cleared).push_back(a);
    }
    EXPECT_EQ(raised, (std::vector<Announcement>{
                          {"stale_tip", "Stale tip", "No new block for 5 min"},
                          {"no_peers", "No peers", "The node reports 0 connections"},
                          {"silent_client", "Silent client", "A poll read an empty or non-numeric log"},
                      }));
    EXPECT_EQ(cleared, (std::vector<Announcement>{
                           {"stale_tip", "Stale tip: recovered after 1 minute",
                            "Tip moving again: a new block count arrived"},
                           {"no_peers", "No peers: recovered after 1 minute", "Peers back: the node has connections"},
                           {"silent_client", "Silent client: recovered after 1 minute",
                            "Client answering again: the polls read numbers"},
                       }));
}

TEST(Announcements, CuesTurnedOffForgetWhatWasTold) {
    Announcer announcer;
    EXPECT_EQ(announce_over({{0, peers_cue(true)}}, 100, announcer).size(), 1u);
    announcer.reset();
    // Still raised when they come back on at 100 s: a new cue, told after its
    // own minute, and no recovery of the one before the reset.
    std::vector<Told> told;
    for (std::int64_t s = 100; s <= 300; ++s)
        for (const auto& a : announcer.update(peers_cue(s < 250), s * 1000, 30)) told.push_back({s, a.kind, a.summary});
    EXPECT_EQ(told, (std::vector<Told>{{160, "no_peers", "No peers"},
                                       {250, "no_peers", "No peers: recovered after 2 minutes"}}));
}

}  // namespace
}  // namespace vqd::test
