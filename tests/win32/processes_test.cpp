// Starting command lines and counting processes, with real processes: the
// test client behind batch files run through cmd.exe from a folder whose name
// has a blank, and the ToolHelp count seeing it while it answers slowly.
#include "platform/failure.h"
#include "platform/win32/win32_command_runner.h"
#include "platform/win32/win32_process_counter.h"
#include "platform/win32/win32_text_files.h"
#include "support.h"

#include <gtest/gtest.h>

namespace vqd {
namespace {

using test::file_bytes;
using test::TempFolder;

TEST(BatchDetection, ALineNamingABatchFileRunsThroughTheInterpreter) {
    EXPECT_EQ(Win32CommandRunner::batch_file("C:\\a b\\DAZ-ER-GBC.BAT"), "C:\\a b\\DAZ-ER-GBC.BAT");
    EXPECT_EQ(Win32CommandRunner::batch_file("  \"C:\\x\\run.cmd\" "), "C:\\x\\run.cmd");
    EXPECT_EQ(Win32CommandRunner::batch_file("c:\\x\\lower.bat"), "c:\\x\\lower.bat");
    EXPECT_EQ(Win32CommandRunner::batch_file("notepad.exe C:\\x.bat.txt"), "");
    EXPECT_EQ(Win32CommandRunner::batch_file("C:\\tools\\update.exe"), "");
}

TEST(CommandRunner, LinesThatCannotStartFailWithTheSystemsReason) {
    Win32CommandRunner runner;
    for (const std::string line : {"", "   ", "C:\\no such folder\\DAZ-ER-GBC.BAT", "Z:\\no\\such\\program.exe"}) {
        try {
            runner.run(line, WindowStyle::Hidden);
            ADD_FAILURE() << "started: " << line;
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.operation(), "run command");
            EXPECT_EQ(e.subject(), line);
            EXPECT_FALSE(e.reason().empty());
        }
    }
}

class ClientInFolderWithBlank : public ::testing::Test {
protected:
    // The client's path is quoted in the line; the configuration and log paths
    // are not (as the settings window writes them), so their folder has no blank.
    TempFolder client_dir{"vqd client dir"};
    TempFolder folder{"vqd-work"};
    std::string client = client_dir / "VQD-Slow-CLI.exe";
    std::string conf = folder / "node.conf";
    Win32CommandRunner runner;
    Win32ProcessCounter processes;
    Win32TextFiles files;

    ClientInFolderWithBlank() { test::copy_file(test::test_client_path(), client); }

    // A batch file as "Save To .BAT Files" writes it.
    std::string batch(const std::string& name, const std::string& command, const std::string& log) {
        const std::string path = folder / name;
        files.write_line(path, "call \"" + client + "\" -conf=" + conf + " " + command + (log.empty() ? "" : " > " + log));
        return path;
    }
};

TEST_F(ClientInFolderWithBlank, BatchFilesRunHiddenAndFillTheirLogs) {
    test::put_file(conf, "blocks=777\r\nconnections=12\r\n");
    const std::string gbc_log = folder / "DAZ-ER-GBC.LOG";
    const std::string gcc_log = folder / "DAZ-ER-GCC.LOG";
    runner.run(batch("DAZ-ER-GBC.BAT", "getblockcount", gbc_log), WindowStyle::Hidden);
    runner.run(batch("DAZ-ER-GCC.BAT", "getconnectioncount", gcc_log), WindowStyle::Hidden);
    ASSERT_TRUE(test::pump_until(
        [&] { return file_bytes(gbc_log) == "777\r\n" && file_bytes(gcc_log) == "12\r\n"; }, 15000))
        << file_bytes(gbc_log) << " / " << file_bytes(gcc_log);

    // The stop command: no log, the node records the stop.
    runner.run(batch("DAZ-ER-STOP.BAT", "stop", ""), WindowStyle::Hidden);
    EXPECT_TRUE(test::pump_until([&] { return file_bytes(conf + ".state").find("stopped=1") != std::string::npos; },
                                 15000));
}

TEST_F(ClientInFolderWithBlank, TheCountSeesTheClientWhileItRunsSlowly) {
    test::put_file(conf, "delay_ms=3000\r\n");
    // A client from an earlier test may still be on its way out.
    ASSERT_TRUE(test::pump_until([&] { return processes.count("vqd-slow-cli.exe") == 0; }, 5000));
    // Two batch files: one log cannot take two redirections at once.
    runner.run(batch("DAZ-ER-GBC.BAT", "getblockcount", folder / "DAZ-ER-GBC.LOG"), WindowStyle::Hidden);
    runner.run(batch("DAZ-ER-GCC.BAT", "getconnectioncount", folder / "DAZ-ER-GCC.LOG"), WindowStyle::Hidden);

    // Seen under any letter case, each instance once.
    ASSERT_TRUE(test::pump_until([&] { return processes.count("vqd-slow-cli.exe") == 2; }, 5000));
    EXPECT_EQ(processes.count("VQD-SLOW-CLI.EXE"), 2);
    EXPECT_EQ(processes.count("vqd-slow-cli"), 0);  // the image name has its extension
    EXPECT_EQ(processes.count("vqd-slow-cli.exe'"), 0);
    EXPECT_EQ(processes.count(""), 0);

    EXPECT_TRUE(test::pump_until([&] { return processes.count("vqd-slow-cli.exe") == 0; }, 15000));
    EXPECT_EQ(file_bytes(folder / "DAZ-ER-GBC.LOG"), "100\r\n");
}

TEST_F(ClientInFolderWithBlank, ANonBatchLineRunsAsTheSystemRunsIt) {
    test::put_file(conf, "delay_ms=1500\r\n");
    runner.run("\"" + client + "\" \"-conf=" + conf + "\" getblockcount", WindowStyle::NormalWithFocus);
    EXPECT_TRUE(test::pump_until([&] { return processes.count("vqd-slow-cli.exe") == 1; }, 5000));
    EXPECT_TRUE(test::pump_until([&] { return processes.count("vqd-slow-cli.exe") == 0; }, 15000));
    EXPECT_EQ(file_bytes(conf + ".calls"), "getblockcount\r\n");
}

}  // namespace
}  // namespace vqd
