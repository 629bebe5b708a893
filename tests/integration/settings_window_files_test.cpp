// The settings window writing real batch files with the Linux services, and
// those files doing their job under the real shell: the road from what the
// user types to a count in the log.
#include "helpers.h"

#include "model/virtual_clock.h"
#include "platform/posix/posix_platform.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <memory>

namespace vqd::it {
namespace {

class SettingsWindowFiles : public ::testing::Test {
protected:
    TempDir dir;
    ConfigHome home{dir.path()};
    Client client{dir};
    PosixPlatform platform{"/opt/panel/VQ-DAZ-ER-files"};
    VirtualClock clock;  // the composers tick on virtual time; files and processes are real
    Scheduler scheduler{clock};
    std::unique_ptr<MainWindow> main;

    void SetUp() override {
        main = std::make_unique<MainWindow>(scheduler, platform.services());
        main->start();
    }

    SettingsWindow& open_settings() {
        main->SETTINGS_BUTTON_Click();
        return *main->settings_window();
    }

    // Type into a field, as the front end would, and let the composers tick.
    void type(SettingsWindow& s, std::string_view field, const std::string& text) {
        s.post_edit(s[field], text);
        scheduler.run_due();
    }
    void fill(SettingsWindow& s, const fs::path& work) {
        type(s, "VQ_CLI_UI_LOCATION_TEXTBOX", work.string());
        type(s, "CLI_LOCATION_TEXTBOX", client.folder.string());
        type(s, "CLI_NAME_TEXTBOX", client.name);
        type(s, "CONF_LOCATION_TEXTBOX", client.conf);
        scheduler.advance(1000);
    }
    void click(SettingsWindow& s, std::string_view button) {
        s.post_click(s[button]);
        scheduler.run_due();
    }
};

TEST_F(SettingsWindowFiles, SavedBatchFilesHoldOneLineEachAndFetchTheCount) {
    client.configure("blocks=4242\nconnections=7\n");
    SettingsWindow& s = open_settings();
    fill(s, client.work);
    click(s, "SAVE_REGISTRY_BUTTON");
    click(s, "SAVE_BATS_BUTTON");
    EXPECT_EQ(s["CLOSE_BUTTON"].caption(), "Close");
    EXPECT_EQ(main->status(), "");

    const fs::path work = client.work;
    EXPECT_EQ(slurp(work / "DAZ-ER-STOP.BAT"), client.line("stop") + "\n");
    EXPECT_EQ(slurp(work / "DAZ-ER-GBC.BAT"), client.line("getblockcount", (work / "DAZ-ER-GBC.LOG").string()) + "\n");
    EXPECT_EQ(slurp(work / "DAZ-ER-GCC.BAT"),
              client.line("getconnectioncount", (work / "DAZ-ER-GCC.LOG").string()) + "\n");

    // The paths the main window polls with are the files just written, and
    // they work under the real shell.
    const std::string gbc_bat = (*main)["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].text();
    const std::string gcc_bat = (*main)["CLI_GCC_FULL_BAT_LOCATION_TEXTBOX"].text();
    EXPECT_EQ(gbc_bat, (work / "DAZ-ER-GBC.BAT").string());
    platform.runner.run(gbc_bat, WindowStyle::Hidden);
    platform.runner.run(gcc_bat, WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return slurp(work / "DAZ-ER-GBC.LOG") == "4242\n"; }, std::chrono::seconds(5)));
    EXPECT_TRUE(eventually([&] { return slurp(work / "DAZ-ER-GCC.LOG") == "7\n"; }, std::chrono::seconds(5)));
}

// Blanks in the configuration path and the working folder, under the real sh.
TEST_F(SettingsWindowFiles, AConfPathAndWorkingFolderWithBlanksStillFetchTheCountsIntoTheWorkingFolder) {
    const fs::path conf_dir = dir.path() / "node conf";
    const fs::path work = dir.path() / "my work";
    fs::create_directories(conf_dir);
    fs::create_directories(work);
    const std::string conf = (conf_dir / "node.conf").string();
    put(conf, "blocks=4343\nconnections=9\n");
    SettingsWindow& s = open_settings();
    fill(s, work);
    type(s, "CONF_LOCATION_TEXTBOX", conf);
    click(s, "SAVE_REGISTRY_BUTTON");
    click(s, "SAVE_BATS_BUTTON");
    EXPECT_EQ(main->status(), "");
    platform.runner.run((*main)["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].text(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return slurp(work / "DAZ-ER-GBC.LOG") == "4343\n"; }, std::chrono::seconds(5)))
        << slurp(work / "DAZ-ER-GBC.LOG");
    // Nothing beside the working folder, where a split line would put the log.
    EXPECT_FALSE(fs::exists(dir.path() / "my"));
}

TEST_F(SettingsWindowFiles, ASecondSaveReplacesEachFileWhole) {
    SettingsWindow& s = open_settings();
    fill(s, client.work);
    type(s, "CONF_LOCATION_TEXTBOX", client.conf + ".with-a-much-longer-name-than-before");
    scheduler.advance(1000);
    click(s, "SAVE_BATS_BUTTON");
    type(s, "CONF_LOCATION_TEXTBOX", client.conf);
    scheduler.advance(1000);
    click(s, "SAVE_BATS_BUTTON");
    for (const char* name : {"DAZ-ER-STOP.BAT", "DAZ-ER-GBC.BAT", "DAZ-ER-GCC.BAT"}) {
        const std::string bytes = slurp(client.work / name);
        EXPECT_EQ(bytes.find("much-longer"), std::string::npos) << name;
        EXPECT_EQ(count_lines(client.work / name), 1) << name;
        EXPECT_EQ(bytes.back(), '\n') << name;
    }
}

TEST_F(SettingsWindowFiles, AMissingFolderLeavesTheEarlierFilesAndIsReported) {
    SettingsWindow& first = open_settings();
    fill(first, client.work);
    click(first, "SAVE_BATS_BUTTON");
    const std::string before = slurp(client.work / "DAZ-ER-GBC.BAT");
    ASSERT_FALSE(before.empty());
    click(first, "CLOSE_BUTTON");

    SettingsWindow& s = open_settings();
    fill(s, dir.path() / "no such folder");
    click(s, "SAVE_BATS_BUTTON");
    EXPECT_EQ(s["CLOSE_BUTTON"].caption(), "Cancel");
    EXPECT_FALSE(s.closed());
    EXPECT_NE(main->status().find("no such folder/DAZ-ER-STOP.BAT"), std::string::npos) << main->status();
    EXPECT_EQ(slurp(client.work / "DAZ-ER-GBC.BAT"), before);
    EXPECT_FALSE(fs::exists(dir.path() / "no such folder"));
    // The failure is in the error log beside the settings, with its reason.
    const std::string log = slurp(platform.errors.location());
    EXPECT_NE(log.find("No such file or directory"), std::string::npos) << log;

    // Back to a folder that exists: the save works and the report goes.
    type(s, "VQ_CLI_UI_LOCATION_TEXTBOX", client.work.string());
    scheduler.advance(1000);
    click(s, "SAVE_BATS_BUTTON");
    EXPECT_EQ(s["CLOSE_BUTTON"].caption(), "Close");
    EXPECT_EQ(main->status(), "");
}

}  // namespace
}  // namespace vqd::it
