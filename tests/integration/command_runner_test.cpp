// The command runner with real batch files under /bin/sh.
#include "helpers.h"

#include "platform/failure.h"
#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_text_files.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>

#include <sstream>

namespace vqd::it {
namespace {

class CommandRunnerTest : public ::testing::Test {
protected:
    TempDir dir;
    Client client{dir};
    PosixCommandRunner runner;
    PosixTextFiles files;
};

TEST_F(CommandRunnerTest, BatchFileRunsTheClientAndItsRedirectFillsTheLog) {
    client.configure("blocks=654321\n");
    const fs::path batch_dir = dir.path() / "batch dir";
    fs::create_directories(batch_dir);
    const std::string log = (client.work / "DAZ-ER-GBC.LOG").string();
    const std::string bat = (batch_dir / "DAZ-ER-GBC.BAT").string();
    files.write_line(bat, client.line("getblockcount", log));

    runner.run(bat, WindowStyle::Hidden);
    ASSERT_TRUE(eventually([&] { return slurp(log) == "654321\n"; }, std::chrono::seconds(5))) << slurp(log);
    EXPECT_EQ(client.calls(), 1);
}

TEST_F(CommandRunnerTest, BatchSuffixIsRecognisedInAnyLetterCase) {
    client.configure("connections=12\n");
    for (const std::string name : {"a.bat", "b.Cmd", "c.CMD"}) {
        const std::string log = (client.work / (name + ".log")).string();
        files.write_line(client.work / name, client.line("getconnectioncount", log));
        runner.run((client.work / name).string(), WindowStyle::Hidden);
        EXPECT_TRUE(eventually([&] { return slurp(log) == "12\n"; }, std::chrono::seconds(5))) << name;
    }
}

TEST_F(CommandRunnerTest, RelativeBatchPathMeansTheWorkingFolder) {
    client.configure("blocks=42\n");
    const std::string log = (client.work / "DAZ-ER-GBC.LOG").string();
    files.write_line(client.work / "DAZ-ER-GBC.BAT", client.line("getblockcount", log));
    const fs::path before = fs::current_path();
    fs::current_path(client.work);
    runner.run("DAZ-ER-GBC.BAT", WindowStyle::Hidden);
    fs::current_path(before);
    EXPECT_TRUE(eventually([&] { return slurp(log) == "42\n"; }, std::chrono::seconds(5)));
}

TEST_F(CommandRunnerTest, ImpossibleLinesFailAtOnce) {
    EXPECT_THROW(runner.run("", WindowStyle::Hidden), PlatformError);
    try {
        runner.run((client.work / "DAZ-ER-STOP.BAT").string(), WindowStyle::Hidden);
        FAIL() << "a missing batch file was started";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.reason(), "No such file or directory");
        EXPECT_EQ(e.subject(), (client.work / "DAZ-ER-STOP.BAT").string());
    }
    fs::create_directories(client.work / "folder.bat");
    EXPECT_THROW(runner.run((client.work / "folder.bat").string(), WindowStyle::Hidden), PlatformError);
    EXPECT_EQ(client.calls(), 0);
}

// One line of /proc/PID/status, such as "SigBlk:\t0000000000000000".
std::string status_line(pid_t pid, const std::string& key) {
    std::istringstream status(slurp("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0) return line.substr(key.size() + 1);
    return "(none)";
}

TEST_F(CommandRunnerTest, UserCommandRunsThroughTheShellWithNothingOfOursInherited) {
    client.configure("delay_ms=1500\n");
    // A descriptor we forgot to mark close-on-exec must not reach the command,
    // nor a signal we ignore (the program ignores SIGXFSZ) or block.
    int leak[2];
    ASSERT_EQ(::pipe(leak), 0);
    struct sigaction ignore {}, before_xfsz {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &before_xfsz);
    sigset_t usr1, before_mask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &usr1, &before_mask);
    runner.run("exec '" + client.path() + "' -conf=" + client.conf + " getblockcount", WindowStyle::NormalWithFocus);
    ::pthread_sigmask(SIG_SETMASK, &before_mask, nullptr);
    ::sigaction(SIGXFSZ, &before_xfsz, nullptr);
    ::close(leak[0]);
    ::close(leak[1]);

    // Once it has logged its call the client only sleeps: its descriptors are settled.
    ASSERT_TRUE(eventually([&] { return client.calls() == 1; }, std::chrono::seconds(1)));
    const pid_t pid = pid_of(client.name);
    ASSERT_GT(pid, 0);
    std::map<std::string, std::string> fds;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        fds[fd.path().filename().string()] = fs::read_symlink(fd.path()).string();
    const std::map<std::string, std::string> only_null = {{"0", "/dev/null"}, {"1", "/dev/null"}, {"2", "/dev/null"}};
    EXPECT_EQ(fds, only_null);
    EXPECT_EQ(status_line(pid, "SigBlk"), "\t0000000000000000");
    EXPECT_EQ(status_line(pid, "SigIgn"), "\t0000000000000000");
    // A session of its own (the shell led it, then became the client), and no
    // child of ours: the step between us and it has ended.
    EXPECT_EQ(::getsid(pid), pid);
    EXPECT_NE(status_line(pid, "PPid"), "\t" + std::to_string(::getpid()));
}

TEST_F(CommandRunnerTest, ReturnsWhileTheClientStillRuns) {
    client.configure("blocks=7\ndelay_ms=1500\n");
    const std::string log = (client.work / "DAZ-ER-GBC.LOG").string();
    files.write_line(client.work / "DAZ-ER-GBC.BAT", client.line("getblockcount", log));
    runner.run((client.work / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
    EXPECT_NE(slurp(log), "7\n") << "run() waited for the client";
    EXPECT_TRUE(eventually([&] { return slurp(log) == "7\n"; }, std::chrono::seconds(5)));
}

TEST_F(CommandRunnerTest, TwentyCommandsLeaveNoZombie) {
    // The count sees a child nobody reaped.
    const pid_t unreaped = spawn({"/bin/true"});
    ASSERT_TRUE(eventually([] { return zombie_children() == 1; }, std::chrono::seconds(5)));
    wait_exit(unreaped);

    client.configure("blocks=1\n");
    files.write_line(client.work / "DAZ-ER-GBC.BAT",
                     client.line("getblockcount", (client.work / "DAZ-ER-GBC.LOG").string()));
    for (int i = 0; i < 10; ++i) {
        runner.run((client.work / "DAZ-ER-GBC.BAT").string(), WindowStyle::Hidden);
        runner.run("true", WindowStyle::NormalWithFocus);
    }
    ASSERT_TRUE(eventually([&] { return client.calls() == 10; }, std::chrono::seconds(10)));
    // Give the last ones time to end, so a zombie would be there to see.
    ASSERT_TRUE(eventually([&] { return PosixProcessCounter().count(client.name) == 0; }, std::chrono::seconds(5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(zombie_children(), 0);
}

}  // namespace
}  // namespace vqd::it

namespace vqd::it {
namespace {

std::string reason_of_run(PosixCommandRunner& runner, const std::string& line) {
    try {
        runner.run(line, WindowStyle::NormalWithFocus);
    } catch (const PlatformError& e) {
        return e.reason();
    }
    return "(started)";
}

TEST(UserCommand, MissingProgramIsReported) {
    TempDir dir;
    PosixCommandRunner runner;
    put(dir / "not-executable.sh", "#!/bin/sh\ntouch ran\n");
    ::chmod((dir / "not-executable.sh").c_str(), 0644);
    put(dir / "with blank.sh", "#!/bin/sh\ntouch '" + dir / "started" + "'\n");
    ::chmod((dir / "with blank.sh").c_str(), 0755);

    EXPECT_EQ(reason_of_run(runner, "no-such-program-vqd --flag 812345"), "no such program in PATH: no-such-program-vqd");
    EXPECT_EQ(reason_of_run(runner, dir / "missing/run.sh"), "no such program: " + dir / "missing/run.sh");
    EXPECT_EQ(reason_of_run(runner, dir / "not-executable.sh"), "not an executable program: " + dir / "not-executable.sh");
    EXPECT_EQ(reason_of_run(runner, dir.path().string()), "not an executable program: " + dir.path().string());
    // The line is still the user's own shell line: quoting, builtins, pipes and assignments start as before.
    EXPECT_EQ(reason_of_run(runner, "'" + dir / "with blank.sh" + "' 812345 | cat"), "(started)");
    EXPECT_TRUE(eventually([&] { return fs::exists(dir / "started"); }, std::chrono::seconds(5)));
    EXPECT_EQ(reason_of_run(runner, "cd '" + dir.path().string() + "' && touch second"), "(started)");
    EXPECT_TRUE(eventually([&] { return fs::exists(dir / "second"); }, std::chrono::seconds(5)));
    EXPECT_EQ(reason_of_run(runner, "X=1 true"), "(started)");
    EXPECT_EQ(reason_of_run(runner, "\"$HOME/unknown\""), "(started)");  // only the shell can expand it
    EXPECT_FALSE(fs::exists(dir / "ran"));
}

}  // namespace
}  // namespace vqd::it
