// The settings window on the virtual clock: opened from a running main window
// by a click on its Settings button, driven by posted clicks and edits, with
// fake platform services recording what reaches the store and the files.
#include "model/virtual_clock.h"
#include "platform/fake/fakes.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace vqd {
namespace {

using Strings = std::vector<std::string>;
const std::string kSection = "VQ-DAZ-ER";

struct SettingsWindowTest : ::testing::Test {
    fake::Platform platform;
    VirtualClock clock;
    Scheduler scheduler{clock};
    std::unique_ptr<MainWindow> main;

    // The main window is built on first use, so a test can choose the
    // platform's conventions and fill the store before start-up.
    MainWindow& boot() {
        if (!main) {
            main = std::make_unique<MainWindow>(scheduler, platform.services());
            main->start();
        }
        return *main;
    }
    void use_posix_files() {
        platform.conventions = kPosixFiles;
        platform.files.eol = "\n";
    }
    SettingsWindow& open() {
        boot().post_click((*main)["SETTINGS_BUTTON"]);
        scheduler.run_due();
        SettingsWindow* s = main->settings_window();
        if (!s) throw std::logic_error("the settings window did not open");
        return *s;
    }
    SettingsWindow& s() { return *main->settings_window(); }
    void click(std::string_view name) {
        s().post_click(s()[name]);
        scheduler.run_due();
    }
    void type(std::string_view name, std::string text) {
        s().post_edit(s()[name], std::move(text));
        scheduler.run_due();
    }
    void fill(const std::string& cli_folder, const std::string& cli_name, const std::string& conf,
              const std::string& work) {
        type("CLI_LOCATION_TEXTBOX", cli_folder);
        type("CLI_NAME_TEXTBOX", cli_name);
        type("CONF_LOCATION_TEXTBOX", conf);
        type("VQ_CLI_UI_LOCATION_TEXTBOX", work);
    }
    // Let the composers tick, then press "Save To .BAT Files".
    void compose_and_save_bats() {
        scheduler.advance(1000);
        click("SAVE_BATS_BUTTON");
    }
    std::string file(const std::string& path) const {
        auto it = platform.files.content.find(path);
        return it == platform.files.content.end() ? "(absent)" : it->second;
    }
    std::string stored(const std::string& key) const {
        return platform.store.value(kSection, key).value_or("(absent)");
    }
};

// --- Inventory ---

TEST_F(SettingsWindowTest, InventoryHasUniqueNamesAFullFocusOrderAndEverythingHiddenBelowTheVisibleBand) {
    const auto inv = SettingsWindow::inventory();
    std::set<std::string_view> names;
    std::vector<std::string_view> focus(17);
    int in_focus = 0;
    for (const auto& c : inv) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        if (c.tab_index >= 0) {
            ASSERT_LT(c.tab_index, 17) << c.name;
            EXPECT_TRUE(focus[c.tab_index].empty()) << c.name;
            focus[c.tab_index] = c.name;
            ++in_focus;
        }
        if (c.kind == ControlKind::Timer) {
            EXPECT_TRUE(c.enabled) << c.name;
            EXPECT_EQ(c.interval, 0) << c.name;
            continue;
        }
        // Lines give their second end in width/height; both ends must lie on the client area.
        const int right = c.kind == ControlKind::Line ? c.rect.width : c.rect.left + c.rect.width;
        const int bottom = c.kind == ControlKind::Line ? c.rect.height : c.rect.top + c.rect.height;
        EXPECT_LE(right, 12015) << c.name;
        EXPECT_LE(bottom, 10260) << c.name;
        if (!c.visible) {
            EXPECT_GE(c.rect.top, 7080) << c.name;
        }
    }
    EXPECT_EQ(in_focus, 17);
    EXPECT_EQ(focus.front(), "CLOSE_BUTTON");
    EXPECT_EQ(focus.back(), "AlwaysOnTopTimer_TICKBOX");

    SettingsWindow& w = open();
    EXPECT_EQ(w.caption(), "TARNWICK - VQ-DAZ-ER - SETTINGS");
    EXPECT_EQ(w.client_area(), (Rect{0, 0, 12015, 10260}));
    EXPECT_EQ(w["CLI_GCC_FULL_LOG_LOCATION_TEXTBOX"].text(), "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX");
    EXPECT_EQ(w["VQ_CLI_UI_CREATOR"].caption(), kCreatorCreditLine);
}

// --- Command lines and batch files ---

struct WorkedExample {
    const char* platform;
    bool posix;
    std::string cli_folder, cli_name, conf, work;
    std::string stop_path, gbc_path, gcc_path;
    std::string stop, gbc, gcc, eol;
};
void PrintTo(const WorkedExample& ex, std::ostream* os) { *os << ex.platform; }

struct WorkedExampleTest : SettingsWindowTest, ::testing::WithParamInterface<WorkedExample> {};

TEST_P(WorkedExampleTest, DaemonTickedGivesTheThreeLinesByteForByte) {
    const auto& ex = GetParam();
    if (ex.posix) use_posix_files();
    open();
    fill(ex.cli_folder, ex.cli_name, ex.conf, ex.work);
    click("DASH_DAEMON_TICKBOX");
    compose_and_save_bats();

    EXPECT_EQ(platform.files.written, (Strings{ex.stop_path, ex.gbc_path, ex.gcc_path}));
    EXPECT_EQ(file(ex.stop_path), ex.stop + ex.eol);
    EXPECT_EQ(file(ex.gbc_path), ex.gbc + ex.eol);
    EXPECT_EQ(file(ex.gcc_path), ex.gcc + ex.eol);
    EXPECT_EQ(s()["CLI_STOP_BAT_FULL_LOCATION_TEXTBOX"].text(), ex.stop_path);
    EXPECT_EQ(s()["CLOSE_BUTTON"].caption(), "Close");
}

INSTANTIATE_TEST_SUITE_P(
    OnEachPlatform, WorkedExampleTest,
    ::testing::Values(
        WorkedExample{
            "Windows", false, R"(C:\Program Files\Bitcoin\Daemon)", "bitcoin-cli.exe", R"(C:\BC-CONF\BTC\bitcoin.conf)",
            R"(C:\TARNWICK\VQ-DAZ-ER\BTC)", R"(C:\TARNWICK\VQ-DAZ-ER\BTC\DAZ-ER-STOP.BAT)",
            R"(C:\TARNWICK\VQ-DAZ-ER\BTC\DAZ-ER-GBC.BAT)", R"(C:\TARNWICK\VQ-DAZ-ER\BTC\DAZ-ER-GCC.BAT)",
            R"(call "C:\Program Files\Bitcoin\Daemon\bitcoin-cli.exe" -conf=C:\BC-CONF\BTC\bitcoin.conf -daemon=1 stop)",
            R"(call "C:\Program Files\Bitcoin\Daemon\bitcoin-cli.exe" -conf=C:\BC-CONF\BTC\bitcoin.conf -daemon=1 getblockcount > C:\TARNWICK\VQ-DAZ-ER\BTC\DAZ-ER-GBC.LOG)",
            R"(call "C:\Program Files\Bitcoin\Daemon\bitcoin-cli.exe" -conf=C:\BC-CONF\BTC\bitcoin.conf -daemon=1 getconnectioncount > C:\TARNWICK\VQ-DAZ-ER\BTC\DAZ-ER-GCC.LOG)",
            "\r\n"},
        WorkedExample{"Linux", true, "/opt/Bitcoin Core/bin", "bitcoin-cli", "/srv/bc-conf/btc/bitcoin.conf",
                      "/srv/tarnwick/vq-daz-er/btc", "/srv/tarnwick/vq-daz-er/btc/DAZ-ER-STOP.BAT",
                      "/srv/tarnwick/vq-daz-er/btc/DAZ-ER-GBC.BAT", "/srv/tarnwick/vq-daz-er/btc/DAZ-ER-GCC.BAT",
                      R"(call "/opt/Bitcoin Core/bin/bitcoin-cli" -conf=/srv/bc-conf/btc/bitcoin.conf -daemon=1 stop)",
                      R"(call "/opt/Bitcoin Core/bin/bitcoin-cli" -conf=/srv/bc-conf/btc/bitcoin.conf -daemon=1 getblockcount > /srv/tarnwick/vq-daz-er/btc/DAZ-ER-GBC.LOG)",
                      R"(call "/opt/Bitcoin Core/bin/bitcoin-cli" -conf=/srv/bc-conf/btc/bitcoin.conf -daemon=1 getconnectioncount > /srv/tarnwick/vq-daz-er/btc/DAZ-ER-GCC.LOG)",
                      "\n"}),
    [](const auto& info) { return std::string(info.param.platform); });

TEST_F(SettingsWindowTest, EmptyFieldsTrailingSeparatorsAndBlanksGoIntoTheLinesUnchanged) {
    open();
    compose_and_save_bats();
    EXPECT_EQ(file(R"(\DAZ-ER-STOP.BAT)"), "call \"\\\" -conf= stop\r\n");
    EXPECT_EQ(file(R"(\DAZ-ER-GBC.BAT)"), "call \"\\\" -conf= getblockcount > \\DAZ-ER-GBC.LOG\r\n");

    // Folders that end in the separator give two in a row, in the client's
    // path, the log path and the batch file's own path alike.
    fill(R"(C:\Program Files\Bitcoin\Daemon\)", "bitcoin-cli.exe", R"(C:\conf.conf)", R"(C:\VQ\)");
    compose_and_save_bats();
    EXPECT_EQ(file(R"(C:\VQ\\DAZ-ER-GBC.BAT)"),
              "call \"C:\\Program Files\\Bitcoin\\Daemon\\\\bitcoin-cli.exe\" -conf=C:\\conf.conf getblockcount > "
              "C:\\VQ\\\\DAZ-ER-GBC.LOG\r\n");

    // Text stays UTF-8 in the model: the file service gets the bytes as typed
    // (the Windows service converts them to the code page at its boundary).
    const std::string folder = "C:\\B\xC3\xBC" "cher";  // "Bücher"
    fill("C:\\bin", "cli.exe", "C:\\n.conf", folder);
    compose_and_save_bats();
    const std::string gbc = file(folder + "\\DAZ-ER-GBC.BAT");
    EXPECT_TRUE(gbc.ends_with(" > " + folder + "\\DAZ-ER-GBC.LOG\r\n")) << gbc;
}

// A blank would end the word for cmd.exe, sh and the client: the configuration
// path and the log path go in double quotes; the stored log path stays plain.
struct BlankCase {
    const char* name;
    bool posix;
    std::string conf, work, daemon_tick;
    std::string stop, gbc;
};
void PrintTo(const BlankCase& c, std::ostream* os) { *os << c.name; }
struct BlankInAPathTest : SettingsWindowTest, ::testing::WithParamInterface<BlankCase> {};

TEST_P(BlankInAPathTest, ThePathWithTheBlankIsQuotedAsOneWord) {
    const auto& c = GetParam();
    if (c.posix) use_posix_files();
    const std::string sep = c.posix ? "/" : "\\";
    const std::string eol = c.posix ? "\n" : "\r\n";
    open();
    fill(c.posix ? "/opt/node bin" : "C:\\node bin", "cli", c.conf, c.work);
    if (!c.daemon_tick.empty()) click(c.daemon_tick);
    compose_and_save_bats();
    EXPECT_EQ(file(c.work + sep + "DAZ-ER-STOP.BAT"), c.stop + eol);
    EXPECT_EQ(file(c.work + sep + "DAZ-ER-GBC.BAT"), c.gbc + eol);
    std::string gcc = c.gbc;
    gcc.replace(gcc.find("getblockcount"), 13, "getconnectioncount").replace(gcc.rfind("GBC"), 3, "GCC");
    EXPECT_EQ(file(c.work + sep + "DAZ-ER-GCC.BAT"), gcc + eol);
    EXPECT_EQ(s()["VQCLI_GBC_COMMAND_TEXTBOX"].text(), c.gbc);
    click("SAVE_REGISTRY_BUTTON");
    EXPECT_EQ(stored("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX"), c.work + sep + "DAZ-ER-GBC.LOG");
}

INSTANTIATE_TEST_SUITE_P(
    ConfOrWorkingFolder, BlankInAPathTest,
    ::testing::Values(
        BlankCase{"WindowsBoth", false, R"(C:\My Conf\node.conf)", R"(C:\My Node)", "",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" stop)",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" getblockcount > "C:\My Node\DAZ-ER-GBC.LOG")"},
        BlankCase{"WindowsConfOnlyWithDaemon", false, R"(C:\My Conf\node.conf)", R"(C:\vq)", "DASH_DAEMON_TICKBOX",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" -daemon=1 stop)",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" -daemon=1 getblockcount > C:\vq\DAZ-ER-GBC.LOG)"},
        BlankCase{"LinuxTabInConfBlankInWorkingFolder", true, "/srv/a\tb.conf", "/w d", "",
                  "call \"/opt/node bin/cli\" -conf=\"/srv/a\tb.conf\" stop",
                  "call \"/opt/node bin/cli\" -conf=\"/srv/a\tb.conf\" getblockcount > \"/w d/DAZ-ER-GBC.LOG\""},
        // Quoted by the user already: written as typed, not quoted twice.
        BlankCase{"AlreadyQuoted", false, R"("C:\My Conf\node.conf")", R"(C:\vq)", "",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" stop)",
                  R"(call "C:\node bin\cli" -conf="C:\My Conf\node.conf" getblockcount > C:\vq\DAZ-ER-GBC.LOG)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsWindowTest, SaveBatsWritesTheLinesAsTheFieldsStandAtTheClick) {
    open();
    fill("C:\\bin", "old.exe", "C:\\n.conf", "C:\\vq");
    // Within the first second the displays are still empty: the files get whole lines all the same.
    click("SAVE_BATS_BUTTON");
    EXPECT_EQ(file("C:\\vq\\DAZ-ER-STOP.BAT"), "call \"C:\\bin\\old.exe\" -conf=C:\\n.conf stop\r\n");
    EXPECT_EQ(s()["VQCLI_STOP_COMMAND_TEXTBOX"].text(), "call \"C:\\bin\\old.exe\" -conf=C:\\n.conf stop");

    scheduler.advance(1000);  // composers tick at 1000
    scheduler.advance(500);
    type("CLI_NAME_TEXTBOX", "new.exe");  // at 1500
    type("VQ_CLI_UI_LOCATION_TEXTBOX", "C:\\new");
    scheduler.advance(400);
    EXPECT_NE(s()["VQCLI_GBC_COMMAND_TEXTBOX"].text().find("old.exe"), std::string::npos);
    click("SAVE_BATS_BUTTON");  // at 1900: the displays still hold the 1000 composition
    EXPECT_EQ(file("C:\\new\\DAZ-ER-GBC.BAT"),
              "call \"C:\\bin\\new.exe\" -conf=C:\\n.conf getblockcount > C:\\new\\DAZ-ER-GBC.LOG\r\n");
    EXPECT_EQ(s()["VQCLI_GBC_COMMAND_TEXTBOX"].text() + "\r\n", file("C:\\new\\DAZ-ER-GBC.BAT"));
    EXPECT_EQ(s()["VQCLI_GCC_COMMAND_TEXTBOX"].text() + "\r\n", file("C:\\new\\DAZ-ER-GCC.BAT"));

    // The composers go on every second.
    type("CLI_NAME_TEXTBOX", "later.exe");
    scheduler.advance(100);  // the 2000 tick
    EXPECT_NE(s()["VQCLI_STOP_COMMAND_TEXTBOX"].text().find("later.exe"), std::string::npos);
    EXPECT_EQ(platform.files.written.size(), 6u);
}

TEST_F(SettingsWindowTest, SaveBatsWritesIntoTheFolderAsItStandsWithoutSaveToRegistry) {
    open();
    fill("C:\\bin", "cli.exe", "C:\\n.conf", "D:\\first");
    compose_and_save_bats();
    type("VQ_CLI_UI_LOCATION_TEXTBOX", "D:\\second");
    compose_and_save_bats();
    EXPECT_EQ(platform.files.written,
              (Strings{"D:\\first\\DAZ-ER-STOP.BAT", "D:\\first\\DAZ-ER-GBC.BAT", "D:\\first\\DAZ-ER-GCC.BAT",
                       "D:\\second\\DAZ-ER-STOP.BAT", "D:\\second\\DAZ-ER-GBC.BAT", "D:\\second\\DAZ-ER-GCC.BAT"}));
    EXPECT_EQ(s()["CLI_GCC_FULL_BAT_LOCATION_TEXTBOX"].text(), "D:\\second\\DAZ-ER-GCC.BAT");
    // The save writes files only: no store key, nothing in the main window.
    EXPECT_TRUE(platform.store.writes.empty());
    EXPECT_EQ((*main)["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].text(), "");
}

TEST_F(SettingsWindowTest, AFailedWriteStopsAtThatFileKeepsTheEarlierOneAndReportsThroughTheMainWindow) {
    open();
    fill("C:\\bin", "cli.exe", "C:\\n.conf", "C:\\vq");
    platform.files.unwritable.insert("C:\\vq\\DAZ-ER-GBC.BAT");
    compose_and_save_bats();
    EXPECT_EQ(platform.files.written, (Strings{"C:\\vq\\DAZ-ER-STOP.BAT"}));
    EXPECT_EQ(file("C:\\vq\\DAZ-ER-GCC.BAT"), "(absent)");
    EXPECT_EQ(s()["CLOSE_BUTTON"].caption(), "Cancel");
    EXPECT_FALSE(s().closed());
    EXPECT_NE(main->status().find("C:\\vq\\DAZ-ER-GBC.BAT"), std::string::npos);
    EXPECT_EQ(platform.errors.messages.size(), 1u);

    // Once the file can be written the same button succeeds and the report goes away.
    platform.files.unwritable.clear();
    click("SAVE_BATS_BUTTON");
    EXPECT_EQ(platform.files.written.size(), 4u);
    EXPECT_EQ(s()["CLOSE_BUTTON"].caption(), "Close");
    EXPECT_EQ(main->status(), "");
}

// --- Option toggles ---

TEST_F(SettingsWindowTest, DaemonPairMovesThroughItsThreeStatesAndTheLinesFollowWithinASecond) {
    open();
    auto& daemon = s()["DASH_DAEMON_TICKBOX"];
    auto& disabled = s()["DISABLE_DAEMON_TICKBOX"];
    auto state = [&] {
        scheduler.advance(1000);
        return std::to_string(daemon.value()) + std::to_string(disabled.value()) + (daemon.enabled() ? "E" : "-") +
               (disabled.enabled() ? "E" : "-") + "|" + s()["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].text() + "|" +
               s()["VQCLI_STOP_COMMAND_TEXTBOX"].text();
    };
    EXPECT_EQ(state(), R"(00E-||call "\" -conf= stop)");
    click("DASH_DAEMON_TICKBOX");
    EXPECT_EQ(state(), R"(10EE| -daemon=1|call "\" -conf= -daemon=1 stop)");
    click("DISABLE_DAEMON_TICKBOX");
    EXPECT_EQ(state(), R"(11-E| -daemon=0|call "\" -conf= -daemon=0 stop)");
    click("DASH_DAEMON_TICKBOX");  // disabled: the click is dropped
    EXPECT_EQ(state(), R"(11-E| -daemon=0|call "\" -conf= -daemon=0 stop)");
    click("DISABLE_DAEMON_TICKBOX");
    EXPECT_EQ(state(), R"(10EE| -daemon=1|call "\" -conf= -daemon=1 stop)");
    click("DASH_DAEMON_TICKBOX");
    EXPECT_EQ(state(), R"(00E-||call "\" -conf= stop)");
}

TEST_F(SettingsWindowTest, StoredDisabledWithoutDaemonOpensLockedAtDaemonZero) {
    platform.store.put(kSection, "DISABLE_DAEMON_TICKBOX", "1");
    open();
    click("DASH_DAEMON_TICKBOX");
    click("DISABLE_DAEMON_TICKBOX");
    EXPECT_EQ(s()["DASH_DAEMON_TICKBOX"].value(), 0);
    EXPECT_EQ(s()["DISABLE_DAEMON_TICKBOX"].value(), 1);
    EXPECT_FALSE(s()["DASH_DAEMON_TICKBOX"].enabled());
    EXPECT_FALSE(s()["DISABLE_DAEMON_TICKBOX"].enabled());
    EXPECT_EQ(s()["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].text(), " -daemon=0");
}

TEST_F(SettingsWindowTest, ActionTickBoxesSwitchTheirTextBoxesAndKeepTheText) {
    open();
    for (auto [tick, box] : {std::pair{"UPDATE_EXTERNAL_FILE_TICKBOX", "UPDATE_EXTERNAL_FILE_TEXTBOX"},
                             std::pair{"RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX"}}) {
        auto& b = s()[box];
        click(tick);
        EXPECT_TRUE(b.enabled() && !b.locked()) << box;
        EXPECT_EQ(b.back_colour(), colours::window_background) << box;
        type(box, "kept");
        click(tick);
        EXPECT_TRUE(!b.enabled() && b.locked()) << box;
        EXPECT_EQ(b.back_colour(), colours::light_grey) << box;
        EXPECT_EQ(b.text(), "kept") << box;
    }
}

TEST_F(SettingsWindowTest, CreatorLabelShowsTheContactLineUntilTheWindowOpensAgain) {
    open();
    click("VQ_CLI_UI_CREATOR");
    click("VQ_CLI_UI_CREATOR");
    EXPECT_EQ(s()["VQ_CLI_UI_CREATOR"].caption(), kCreatorContactLine);
    EXPECT_NE(kCreatorContactLine, kCreatorCreditLine);
    click("CLOSE_BUTTON");
    EXPECT_EQ(open()["VQ_CLI_UI_CREATOR"].caption(), kCreatorCreditLine);
}

// --- Opening ---

TEST_F(SettingsWindowTest, OpeningWithAnEmptyStoreGivesTheDefaults) {
    boot();
    platform.store.reads.clear();
    SettingsWindow& w = open();
    EXPECT_EQ(platform.store.reads,
              (Strings{"SETTINGS-Left", "SETTINGS-Top", "SETTINGS-Width", "SETTINGS-Height",
                       "VQ_CLI_UI_LOCATION_TEXTBOX", "CONF_LOCATION_TEXTBOX", "CLI_LOCATION_TEXTBOX",
                       "CLI_NAME_TEXTBOX", "DASH_DAEMON_TICKBOX", "DISABLE_DAEMON_TICKBOX",
                       "UPDATE_EXTERNAL_FILE_TICKBOX", "RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX",
                       "UPDATE_EXTERNAL_FILE_TEXTBOX", "AlwaysOnTopTimer_TICKBOX"}));
    EXPECT_EQ((std::vector<float>{w.left(), w.top(), w.width(), w.height()}),
              (std::vector<float>{1000, 1000, 12105, 7260}));
    EXPECT_EQ(w["AlwaysOnTopTimer_TICKBOX"].value(), 1);
    EXPECT_TRUE((*main)["AlwaysOnTopTimer"].enabled());
    for (auto box : {"UPDATE_EXTERNAL_FILE_TEXTBOX", "RUN_COMMAND_TEXTBOX"}) {
        EXPECT_FALSE(w[box].enabled()) << box;
        EXPECT_TRUE(w[box].locked()) << box;
        EXPECT_EQ(w[box].back_colour(), colours::light_grey) << box;
    }
    EXPECT_FALSE(w["DISABLE_DAEMON_TICKBOX"].enabled());
    EXPECT_EQ(w["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].text(), "");
    EXPECT_EQ(w["CLOSE_BUTTON"].caption(), "Cancel");
    scheduler.advance(999);
    EXPECT_EQ(w["VQCLI_GBC_COMMAND_TEXTBOX"].text(), "");
    scheduler.advance(1);
    EXPECT_EQ(w["VQCLI_GBC_COMMAND_TEXTBOX"].text(), R"(call "\" -conf= getblockcount > \DAZ-ER-GBC.LOG)");
}

TEST_F(SettingsWindowTest, OpeningWithAFullStoreRestoresEveryFieldAndSwitchesAlwaysOnTopOff) {
    boot();  // starts with Always On Top on
    const std::map<std::string, std::string> full{
        {"SETTINGS-Left", "2000"},         {"SETTINGS-Top", "3000"},
        {"SETTINGS-Width", "9000"},        {"SETTINGS-Height", "8000"},
        {"VQ_CLI_UI_LOCATION_TEXTBOX", "W"}, {"CONF_LOCATION_TEXTBOX", "C"},
        {"CLI_LOCATION_TEXTBOX", "F"},     {"CLI_NAME_TEXTBOX", "N"},
        {"DASH_DAEMON_TICKBOX", "1"},      {"DISABLE_DAEMON_TICKBOX", "0"},
        {"UPDATE_EXTERNAL_FILE_TICKBOX", "1"}, {"RUN_COMMAND_TICKBOX", "0"},
        {"RUN_COMMAND_TEXTBOX", "run me"}, {"UPDATE_EXTERNAL_FILE_TEXTBOX", "ext.txt"},
        {"AlwaysOnTopTimer_TICKBOX", "0"}};
    for (const auto& [k, v] : full) platform.store.put(kSection, k, v);
    SettingsWindow& w = open();
    EXPECT_EQ((std::vector<float>{w.left(), w.top(), w.width(), w.height()}),
              (std::vector<float>{2000, 3000, 9000, 8000}));
    for (auto key : {"VQ_CLI_UI_LOCATION_TEXTBOX", "CONF_LOCATION_TEXTBOX", "CLI_LOCATION_TEXTBOX",
                     "CLI_NAME_TEXTBOX", "RUN_COMMAND_TEXTBOX", "UPDATE_EXTERNAL_FILE_TEXTBOX"})
        EXPECT_EQ(w[key].text(), full.at(key)) << key;
    EXPECT_EQ(w["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].text(), " -daemon=1");
    EXPECT_TRUE(w["DISABLE_DAEMON_TICKBOX"].enabled());
    // The ticked action is active; the unticked one is inactive but holds its text.
    EXPECT_TRUE(w["UPDATE_EXTERNAL_FILE_TEXTBOX"].enabled());
    EXPECT_FALSE(w["UPDATE_EXTERNAL_FILE_TEXTBOX"].locked());
    EXPECT_EQ(w["UPDATE_EXTERNAL_FILE_TEXTBOX"].back_colour(), colours::window_background);
    EXPECT_FALSE(w["RUN_COMMAND_TEXTBOX"].enabled());
    EXPECT_TRUE(w["RUN_COMMAND_TEXTBOX"].locked());
    EXPECT_EQ(w["RUN_COMMAND_TEXTBOX"].back_colour(), colours::light_grey);
    // Always On Top "0" reached the main window at once.
    EXPECT_EQ(w["AlwaysOnTopTimer_TICKBOX"].value(), 0);
    EXPECT_FALSE((*main)["AlwaysOnTopTimer"].enabled());
    EXPECT_EQ((*main)["AlwaysOnTopTimer_TICKBOX"].value(), 0);
}

// --- Save To Registry, Cancel, closing ---

TEST_F(SettingsWindowTest, SaveToRegistryStoresThirteenKeysThenTheFivePathsAndFillsTheMainWindow) {
    open();
    s().set_position(1500, 2500);
    fill("C:\\bin", "cli.exe", "C:\\n.conf", "C:\\TARNWICK\\VQ-DAZ-ER\\BTC");
    click("RUN_COMMAND_TICKBOX");
    type("RUN_COMMAND_TEXTBOX", "notify.cmd");
    click("SAVE_REGISTRY_BUTTON");

    const Strings paths{"CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX",
                        "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX",
                        "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX"};
    Strings expected{"SETTINGS-Left", "SETTINGS-Top", "VQ_CLI_UI_LOCATION_TEXTBOX", "CONF_LOCATION_TEXTBOX",
                     "CLI_LOCATION_TEXTBOX", "CLI_NAME_TEXTBOX", "DASH_DAEMON_TICKBOX", "DISABLE_DAEMON_TICKBOX",
                     "UPDATE_EXTERNAL_FILE_TICKBOX", "RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX",
                     "UPDATE_EXTERNAL_FILE_TEXTBOX", "AlwaysOnTopTimer_TICKBOX"};
    expected.insert(expected.end(), paths.begin(), paths.end());
    EXPECT_EQ(platform.store.writes, expected);

    EXPECT_EQ(stored("SETTINGS-Left"), "1500");
    EXPECT_EQ(stored("RUN_COMMAND_TICKBOX"), "1");
    EXPECT_EQ(stored("AlwaysOnTopTimer_TICKBOX"), "1");
    EXPECT_EQ(stored("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX"), "C:\\TARNWICK\\VQ-DAZ-ER\\BTC\\DAZ-ER-GCC.LOG");
    const Strings files{"DAZ-ER-STOP.BAT", "DAZ-ER-GBC.BAT", "DAZ-ER-GCC.BAT", "DAZ-ER-GBC.LOG", "DAZ-ER-GCC.LOG"};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string path = "C:\\TARNWICK\\VQ-DAZ-ER\\BTC\\" + files[i];
        EXPECT_EQ(s()[paths[i]].text(), path);
        EXPECT_EQ((*main)[paths[i]].text(), path);
        EXPECT_EQ(stored(paths[i]), path);
    }
    EXPECT_EQ((*main)["CLI_NAME_TEXTBOX"].text(), "cli.exe");
    EXPECT_EQ((*main)["RUN_COMMAND_TICKBOX"].value(), 1);
    EXPECT_EQ((*main)["RUN_COMMAND_TEXTBOX"].text(), "notify.cmd");
    EXPECT_EQ((*main)["UPDATE_EXTERNAL_FILE_TICKBOX"].value(), 0);
    EXPECT_EQ(s()["CLOSE_BUTTON"].caption(), "Close");

    // A second press changes nothing.
    const auto values = platform.store.values;
    Strings main_texts;
    for (const auto& c : main->controls()) main_texts.push_back(c->text() + "/" + std::to_string(c->value()));
    click("SAVE_REGISTRY_BUTTON");
    EXPECT_EQ(platform.store.values, values);
    Strings again;
    for (const auto& c : main->controls()) again.push_back(c->text() + "/" + std::to_string(c->value()));
    EXPECT_EQ(again, main_texts);
    EXPECT_EQ(platform.store.writes.size(), 2 * expected.size());
}

TEST_F(SettingsWindowTest, CancelAfterEditsKeepsOnlyThePositionAndTheAlwaysOnTopSwitch) {
    open();
    fill("C:\\bin", "cli.exe", "C:\\n.conf", "C:\\vq");
    click("UPDATE_EXTERNAL_FILE_TICKBOX");
    click("AlwaysOnTopTimer_TICKBOX");
    s().set_position(3000, 4000);
    scheduler.advance(1000);
    Strings main_before;
    for (const auto& c : main->controls()) main_before.push_back(c->text() + "/" + std::to_string(c->value()));

    click("CLOSE_BUTTON");
    EXPECT_EQ(main->settings_window(), nullptr);
    EXPECT_EQ(platform.store.writes, (Strings{"SETTINGS-Left", "SETTINGS-Top"}));
    EXPECT_EQ(stored("SETTINGS-Left"), "3000");
    EXPECT_EQ(stored("SETTINGS-Top"), "4000");
    Strings main_after;
    for (const auto& c : main->controls()) main_after.push_back(c->text() + "/" + std::to_string(c->value()));
    EXPECT_EQ(main_after, main_before);
    // The always-on-top switch acted at once and is not undone.
    EXPECT_FALSE((*main)["AlwaysOnTopTimer"].enabled());
    EXPECT_EQ((*main)["AlwaysOnTopTimer_TICKBOX"].value(), 0);
    EXPECT_EQ(stored("AlwaysOnTopTimer_TICKBOX"), "(absent)");
    EXPECT_TRUE(platform.files.written.empty());

    // The next opening starts from the design state and the store.
    SettingsWindow& again = open();
    EXPECT_EQ(again["CLOSE_BUTTON"].caption(), "Cancel");
    EXPECT_EQ(again["VQ_CLI_UI_LOCATION_TEXTBOX"].text(), "");
    EXPECT_EQ(again.left(), 3000);
}

TEST_F(SettingsWindowTest, TheWindowsCloseCommandSavesThePositionAndEndsTheComposers) {
    SettingsWindow& w = open();
    w.set_position(100, 200);
    w.post_close();
    scheduler.run_due();
    EXPECT_TRUE(w.closed());
    EXPECT_EQ(platform.store.writes, (Strings{"SETTINGS-Left", "SETTINGS-Top"}));
    scheduler.advance(3000);
    EXPECT_EQ(w["VQCLI_STOP_COMMAND_TEXTBOX"].text(), "");
    EXPECT_TRUE(main->accepts_input());
}

TEST_F(SettingsWindowTest, ClosingTheMainWindowClosesTheOpenSettingsWindowAsCancelled) {
    SettingsWindow& w = open();
    type("CLI_NAME_TEXTBOX", "unsaved.exe");
    main->close();
    EXPECT_TRUE(w.closed());
    EXPECT_EQ(stored("SETTINGS-Left"), "1000");
    EXPECT_EQ(stored("CLI_NAME_TEXTBOX"), "(absent)");
}

// --- The main window while the settings window is open ---

TEST_F(SettingsWindowTest, MainWindowTimersTickOnButItsClicksAreDroppedWhileTheSettingsWindowIsOpen) {
    open();
    const auto queries = platform.processes.queries.size();
    scheduler.advance(5000);
    EXPECT_EQ(platform.processes.queries.size(), queries + 5);  // the watcher, once a second
    ASSERT_TRUE((*main)["GETBLOCKCOUNT_BUTTON"].enabled());

    main->post_click((*main)["GETBLOCKCOUNT_BUTTON"]);
    scheduler.run_due();
    EXPECT_FALSE((*main)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());

    click("CLOSE_BUTTON");
    main->post_click((*main)["GETBLOCKCOUNT_BUTTON"]);
    scheduler.run_due();
    EXPECT_TRUE((*main)["GETBLOCKCOUNT_COMMAND_TIMER"].enabled());
}

}  // namespace
}  // namespace vqd
