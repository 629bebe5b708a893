// Bad input on the real system: folder and client names that a shell would
// read as commands, logs that are not a number, clients that never end or die
// half way. Each must be handled as data, or reported, and the program go on.
#include "helpers.h"

#include "model/virtual_clock.h"
#include "platform/posix/posix_platform.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <csignal>
#include <memory>

namespace vqd::it {
namespace {

// Every character a shell would act on, a newline and non-ASCII letters.
const std::string kHostileName = "a b'\"; & $(touch PWNED) `touch PWNED2` \xc3\xa9\xe2\x82\xac\nz";

class BadInput : public ::testing::Test {
protected:
    TempDir dir;
    ConfigHome home{dir.path()};
    Client client{dir};
    PosixPlatform platform{"/opt/panel/VQ-DAZ-ER-bad"};
    VirtualClock clock;
    Scheduler scheduler{clock};

    bool nothing_was_touched() const {
        return !fs::exists("PWNED") && !fs::exists("PWNED2") && !fs::exists(dir.path() / "PWNED");
    }
};

TEST_F(BadInput, AWorkingFolderFullOfShellCharactersIsOnlyAName) {
    const fs::path work = dir.path() / kHostileName;
    fs::create_directories(work);
    MainWindow main(scheduler, platform.services());
    main.start();
    main.SETTINGS_BUTTON_Click();
    SettingsWindow& s = *main.settings_window();
    s.post_edit(s["VQ_CLI_UI_LOCATION_TEXTBOX"], work.string());
    s.post_edit(s["CLI_LOCATION_TEXTBOX"], client.folder.string());
    s.post_edit(s["CLI_NAME_TEXTBOX"], client.name);
    s.post_edit(s["CONF_LOCATION_TEXTBOX"], client.conf);
    scheduler.advance(1000);
    s.post_click(s["SAVE_REGISTRY_BUTTON"]);
    s.post_click(s["SAVE_BATS_BUTTON"]);
    scheduler.run_due();

    // The files land in that folder, holding the composed line byte for byte,
    // and the store gives the folder back exactly.
    EXPECT_EQ(main.status(), "");
    EXPECT_EQ(slurp(work / "DAZ-ER-GBC.BAT"), client.line("getblockcount", (work / "DAZ-ER-GBC.LOG").string()) + "\n");
    EXPECT_EQ(platform.store.get("VQ-DAZ-ER", "VQ-DAZ-ER-bad", "VQ_CLI_UI_LOCATION_TEXTBOX", "?"), work.string());
    EXPECT_EQ(main["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].text(), (work / "DAZ-ER-GBC.BAT").string());

    // A batch file in that folder runs by its path; the path itself is never
    // read by a shell.
    client.configure("blocks=31337\n");
    const std::string log = dir / "safe.log";
    put(work / "SAFE.BAT", client.line("getblockcount", log) + "\n");
    platform.runner.run((work / "SAFE.BAT").string(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return slurp(log) == "31337\n"; }, std::chrono::seconds(5))) << slurp(log);
    EXPECT_TRUE(nothing_was_touched());
}

TEST_F(BadInput, AClientNameWithAnApostropheABlankOrAPathIsJustAName) {
    const std::string name = "it's a cli";
    fs::copy_file(VQD_TEST_CLI, client.folder / name);
    client.configure("delay_ms=1500\n");
    put(client.work / "GBC.BAT", "call \"" + (client.folder / name).string() + "\" -conf=" + client.conf +
                                     " getblockcount > " + (client.work / "GBC.LOG").string() + "\n");
    platform.runner.run((client.work / "GBC.BAT").string(), WindowStyle::Hidden);
    PosixProcessCounter& counter = platform.processes;
    ASSERT_TRUE(eventually([&] { return counter.count(name) == 1; }, std::chrono::seconds(2)));
    EXPECT_EQ(counter.count("IT'S A CLI"), 1);
    EXPECT_EQ(counter.count((client.folder / name).string()), 0);  // a path is not an image name
    EXPECT_EQ(counter.count("it's"), 0);
    EXPECT_EQ(counter.count("it's a cli' OR Name LIKE '%"), 0);
    EXPECT_TRUE(eventually([&] { return counter.count(name) == 0; }, std::chrono::seconds(5)));
}

TEST_F(BadInput, ATenThousandCharacterTextIsStoredAndLoadedWhole) {
    std::string text = "\xc3\xa9";
    while (text.size() < 10000) text += "notify \"$(x)\" ; & ";
    text.resize(10000);
    platform.store.save("VQ-DAZ-ER", "VQ-DAZ-ER-bad", "RUN_COMMAND_TEXTBOX", text);
    MainWindow main(scheduler, platform.services());
    main.start();
    EXPECT_EQ(main["RUN_COMMAND_TEXTBOX"].text(), text);
    EXPECT_EQ(main.status(), "");
}

TEST_F(BadInput, LogsAreReadAsBytesNulAndBinaryIncluded) {
    const std::string bytes("8\0" "12\xff\xfe\x01\r\n\x80", 10);
    put(dir / "binary.log", bytes);
    EXPECT_EQ(platform.files.read_whole(dir / "binary.log"), bytes);
    put(dir / "nul.log", std::string(1, '\0'));
    EXPECT_EQ(platform.files.read_whole(dir / "nul.log"), std::string(1, '\0'));
}

TEST_F(BadInput, AClientThatNeverEndsLeavesAnEmptyLogAndIsSeenRunningUntilKilled) {
    client.configure("delay_ms=600000\n");
    const std::string log = client.work / "DAZ-ER-GBC.LOG";
    put(client.work / "DAZ-ER-GBC.BAT", client.line("getblockcount", log) + "\n");
    platform.runner.run((client.work / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
    ASSERT_TRUE(eventually([&] { return platform.processes.count(client.name) == 1; }, std::chrono::seconds(2)));
    // The poll reads whatever is there when its wait is over: nothing yet.
    EXPECT_EQ(platform.files.read_whole(log), "");
    const pid_t pid = pid_of(client.name);
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    EXPECT_TRUE(eventually([&] { return platform.processes.count(client.name) == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(zombie_children(), 0);
}

TEST_F(BadInput, AClientKilledWhileWritingLeavesWhatItWrote) {
    const std::string log = client.work / "DAZ-ER-GBC.LOG";
    put(client.work / "DAZ-ER-GBC.BAT", "call /bin/sh -c \"printf 812; kill -KILL \\$\\$\" > " + log + "\n");
    platform.runner.run((client.work / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
    ASSERT_TRUE(eventually([&] { return slurp(log) == "812"; }, std::chrono::seconds(5))) << slurp(log);
    EXPECT_EQ(platform.files.read_whole(log), "812");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(zombie_children(), 0);
}

}  // namespace
}  // namespace vqd::it
