// The QSettings store against a throw-away XDG_CONFIG_HOME.
#include "helpers.h"

#include "platform/failure.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_settings_store.h"
#include "windows/settings.h"

namespace vqd::it {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    ConfigHome home{dir.path()};
    PosixSettingsStore store;
    PosixExecutableName exe{"/opt/panel/LTC-panel.exe"};
    Settings settings{store, exe};

    std::string file() const { return dir / "VQ-DAZ-ER/LTC-panel.ini"; }
    std::string probe_get(const std::string& key) const {
        return output_of("'" + std::string(VQD_PROBE) + "' get LTC-panel '" + key + "'");
    }
};

TEST_F(SettingsStoreTest, ThreeKindsRoundTripThroughTheFile) {
    settings.save_tick("CLI_GBC_BAT_TICKBOX", 1);
    settings.save_coordinate("MainLeft", 1234.5f);
    settings.save_coordinate("MainTop", 1000.0f);
    settings.save_text("CLI_LOCATION_TEXTBOX", "C:\\dir with blank\\x");

    // What another process reads, from the file alone.
    EXPECT_EQ(probe_get("CLI_GBC_BAT_TICKBOX"), "1\n");
    EXPECT_EQ(probe_get("MainLeft"), "1234.5\n");
    EXPECT_EQ(probe_get("MainTop"), "1000\n");
    EXPECT_EQ(probe_get("CLI_LOCATION_TEXTBOX"), "C:\\dir with blank\\x\n");

    PosixSettingsStore fresh;
    Settings again(fresh, exe);
    EXPECT_EQ(again.tick("CLI_GBC_BAT_TICKBOX"), 1);
    EXPECT_EQ(again.coordinate("MainLeft"), 1234.5f);
    EXPECT_EQ(again.text("CLI_LOCATION_TEXTBOX"), "C:\\dir with blank\\x");
    // Keys sit at the top level of the file.
    EXPECT_NE(slurp(file()).find("\nMainLeft=1234.5\n"), std::string::npos) << slurp(file());
}

TEST_F(SettingsStoreTest, AnyTextComesBackExactly) {
    const std::string texts[] = {
        "",
        " leading and trailing blanks ",
        "a, b, c",
        "semi;colon # hash = equals",
        "\"quoted\" and 'single'",
        "\\\\server\\share\\",
        "@Variant(not really)",
        "true",
        "caf\xc3\xa9 \xe2\x82\xbf \xf0\x9f\x98\x80",
        "two\nlines\r\n",
        "tab\there",
        "[General]",
        "0x10",
    };
    int i = 0;
    for (const auto& text : texts) store.save("VQ-DAZ-ER", "LTC-panel", "RUN_COMMAND_TEXTBOX" + std::to_string(i++), text);
    i = 0;
    PosixSettingsStore fresh;
    for (const auto& text : texts)
        EXPECT_EQ(fresh.get("VQ-DAZ-ER", "LTC-panel", "RUN_COMMAND_TEXTBOX" + std::to_string(i++), "<absent>"), text)
            << "value " << i - 1;
}

TEST_F(SettingsStoreTest, ReadsSeeWhatAnotherCopySavedMeanwhile) {
    settings.save_text("CLI_NAME_TEXTBOX", "first");
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "first");
    put(dir / "go", "");
    ASSERT_EQ(wait_exit(spawn({VQD_PROBE, "save", "LTC-panel", dir / "go", "1", "CLI_NAME_TEXTBOX"})), 0);
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "CLI_NAME_TEXTBOX-0");
    // Saving one key here keeps the other copy's value of another.
    ASSERT_EQ(wait_exit(spawn({VQD_PROBE, "save", "LTC-panel", dir / "go", "1", "CLI_LOCATION_TEXTBOX"})), 0);
    settings.save_text("CLI_NAME_TEXTBOX", "second");
    EXPECT_EQ(probe_get("CLI_LOCATION_TEXTBOX"), "CLI_LOCATION_TEXTBOX-0\n");
    EXPECT_EQ(probe_get("CLI_NAME_TEXTBOX"), "second\n");
}

TEST_F(SettingsStoreTest, AbsentKeysAndSectionsGiveTheDefault) {
    EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "MainWidth", "5280"), "5280");
    EXPECT_FALSE(fs::exists(file())) << "reading created the file";
    EXPECT_EQ(settings.coordinate("MainWidth"), 5280.0f);
    EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
    settings.save_text("CLI_NAME_TEXTBOX", "litecoin-cli");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "MainWidth", "5280"), "5280");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "other", "CLI_NAME_TEXTBOX", "none"), "none");
    // A text saved empty reads back empty, not as the default.
    settings.save_text("CLI_NAME_TEXTBOX", "");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "CLI_NAME_TEXTBOX", "default"), "");
}

TEST_F(SettingsStoreTest, SectionsAndApplicationsAreSeparateFiles) {
    store.save("VQ-DAZ-ER", "BTC-panel", "CLI_NAME_TEXTBOX", "bitcoin-cli.exe");
    store.save("VQ-DAZ-ER", "LTC-panel", "CLI_NAME_TEXTBOX", "litecoin-cli");
    store.save("Other-App", "LTC-panel", "CLI_NAME_TEXTBOX", "other");
    EXPECT_TRUE(fs::exists(dir / "VQ-DAZ-ER/BTC-panel.ini"));
    EXPECT_TRUE(fs::exists(dir / "Other-App/LTC-panel.ini"));
    EXPECT_EQ(store.get("VQ-DAZ-ER", "BTC-panel", "CLI_NAME_TEXTBOX", ""), "bitcoin-cli.exe");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "CLI_NAME_TEXTBOX", ""), "litecoin-cli");
    EXPECT_EQ(store.get("Other-App", "LTC-panel", "CLI_NAME_TEXTBOX", ""), "other");
}

TEST_F(SettingsStoreTest, AFolderThatCannotBeMadeIsAReportedFailure) {
    put(dir / "not-a-folder", "x");
    ConfigHome blocked(dir.path() / "not-a-folder");
    EXPECT_THROW(store.save("VQ-DAZ-ER", "LTC-panel", "MainLeft", "1"), PlatformError);
}

// A value typed by hand with an open quote, read and saved by another process:
// the line is named, every other key reads back, and saves keep the line's bytes.
TEST_F(SettingsStoreTest, AnotherProcessReadsAndSavesAroundAHandEditedLine) {
    fs::create_directories(dir / "VQ-DAZ-ER");
    const std::string edited = "RUN_COMMAND_TEXTBOX=notify-send \"new block";
    put(file(), "[General]\n" + edited + "\nMainLeft=1500\nCLI_NAME_TEXTBOX=litecoin-cli\n");
    const std::string notes_line = "'" + std::string(VQD_PROBE) + "' notes LTC-panel";
    const std::string notes = output_of(notes_line);
    EXPECT_NE(notes.find(file() + ", line 2: "), std::string::npos) << notes;
    EXPECT_EQ(probe_get("MainLeft"), "1500\n");
    EXPECT_EQ(probe_get("CLI_NAME_TEXTBOX"), "litecoin-cli\n");
    EXPECT_EQ(probe_get("RUN_COMMAND_TEXTBOX"), "notify-send new block\n");

    put(dir / "go", "");
    ASSERT_EQ(wait_exit(spawn({VQD_PROBE, "save", "LTC-panel", dir / "go", "2", "CLI_NAME_TEXTBOX", "MainTop"})), 0);
    EXPECT_EQ(probe_get("MainLeft"), "1500\n");
    EXPECT_EQ(probe_get("CLI_NAME_TEXTBOX"), "CLI_NAME_TEXTBOX-1\n");
    EXPECT_EQ(probe_get("MainTop"), "MainTop-1\n");
    EXPECT_NE(slurp(file()).find("\n" + edited + "\n"), std::string::npos) << slurp(file());
    EXPECT_EQ(output_of(notes_line), notes);
}

// A line that is no INI at all: named by number, and no save goes over the file.
TEST_F(SettingsStoreTest, AnotherProcessNamesALineItCannotReadAndNeverSavesOverIt) {
    fs::create_directories(dir / "VQ-DAZ-ER");
    const std::string text = "[General]\nMainLeft=1500\nnotify-send \"new block\nCLI_NAME_TEXTBOX=litecoin-cli\n";
    put(file(), text);
    int code = 0;
    const std::string said = output_of("'" + std::string(VQD_PROBE) + "' get LTC-panel MainLeft 2>&1", &code);
    EXPECT_EQ(code, 2);
    EXPECT_NE(said.find("not INI text"), std::string::npos) << said;
    EXPECT_NE(said.find("on line 3"), std::string::npos) << said;
    put(dir / "go", "");
    EXPECT_EQ(wait_exit(spawn({VQD_PROBE, "save", "LTC-panel", dir / "go", "1", "MainTop"})), 2);
    EXPECT_EQ(slurp(file()), text);
}

TEST_F(SettingsStoreTest, TwoProcessesSavingAtOnceKeepEveryKey) {
    // The main window closing in one copy while the settings window of another
    // copy of the same name saves: different keys, the same file, the same moment.
    const std::string go = dir / "go";
    const int rounds = 5;
    std::vector<std::string> closing = {VQD_PROBE, "save", "LTC-panel", go, std::to_string(rounds),
                                        "MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                                        "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX"};
    std::vector<std::string> saving = {VQD_PROBE, "save", "LTC-panel", go, std::to_string(rounds),
                                       "SETTINGS-Left", "SETTINGS-Top", "VQ_CLI_UI_LOCATION_TEXTBOX",
                                       "CONF_LOCATION_TEXTBOX", "CLI_LOCATION_TEXTBOX", "CLI_NAME_TEXTBOX",
                                       "DASH_DAEMON_TICKBOX", "DISABLE_DAEMON_TICKBOX"};
    const pid_t a = spawn(closing), b = spawn(saving);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    put(go, "");
    EXPECT_EQ(wait_exit(a), 0);
    EXPECT_EQ(wait_exit(b), 0);

    const std::string last = "-" + std::to_string(rounds - 1);
    for (const auto* keys : {&closing, &saving})
        for (std::size_t k = 5; k < keys->size(); ++k)
            EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", (*keys)[k], "<lost>"), (*keys)[k] + last);
}

}  // namespace
}  // namespace vqd::it
