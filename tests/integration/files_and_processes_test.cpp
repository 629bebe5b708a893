// Text files, the process counter, the executable's name and the error log
// on the real system.
#include "helpers.h"

#include "platform/failure.h"
#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_error_log.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_text_files.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace vqd::it {
namespace {

// --- Text files ---

TEST(PosixTextFiles, WriteLineGivesTheBytesAndOneLineFeed) {
    TempDir dir;
    PosixTextFiles files;
    const std::string path = dir / "external.txt";
    put(path, "an older and much longer content\n");
    files.write_line(path, "123456\n");  // a count box's text keeps the log's own line end
    EXPECT_EQ(slurp(path), "123456\n\n");
    files.write_line(path, "");
    EXPECT_EQ(slurp(path), "\n");
    files.write_line(path, "C:\\dir with blank\\x \xc3\xa9");
    EXPECT_EQ(slurp(path), "C:\\dir with blank\\x \xc3\xa9\n");
}

TEST(PosixTextFiles, ReadWholeKeepsEveryByteUpToTheLimit) {
    TempDir dir;
    PosixTextFiles files;
    put(dir / "empty.log", "");
    EXPECT_EQ(files.read_whole(dir / "empty.log"), "");
    put(dir / "crlf.log", "123456\r\n");
    EXPECT_EQ(files.read_whole(dir / "crlf.log"), "123456\r\n");
    const std::string longest(32767, 'x');
    put(dir / "longest.log", longest);
    EXPECT_EQ(files.read_whole(dir / "longest.log"), longest);
}

TEST(PosixTextFiles, FailuresNameThePathAndTheSystemsReason) {
    TempDir dir;
    PosixTextFiles files;
    put(dir / "too-long.log", std::string(32768, 'x'));
    EXPECT_THROW(files.read_whole(dir / "too-long.log"), PlatformError);
    try {
        files.read_whole(dir / "missing.log");
        FAIL() << "a missing log was read";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.subject(), dir / "missing.log");
        EXPECT_EQ(e.reason(), "No such file or directory");
    }
    EXPECT_THROW(files.read_whole(dir.path().string()), PlatformError);  // a folder
    EXPECT_THROW(files.read_whole(""), PlatformError);
    EXPECT_THROW(files.write_line(dir / "no such folder/external.txt", "1"), PlatformError);
    EXPECT_THROW(files.write_line("", "1"), PlatformError);
    EXPECT_THROW(files.write_line(dir.path().string(), "1"), PlatformError);
}

// --- Process counter ---

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

TEST(PosixProcessCounter, SeesSlowClientsUnderAnyLetterCase) {
    TempDir dir;
    Client client(dir);
    client.configure("delay_ms=1500\n");
    PosixTextFiles files;
    PosixCommandRunner runner;
    PosixProcessCounter counter;
    files.write_line(client.work / "DAZ-ER-GCC.BAT",
                     client.line("getconnectioncount", (client.work / "DAZ-ER-GCC.LOG").string()));

    EXPECT_EQ(counter.count(client.name), 0);
    runner.run((client.work / "DAZ-ER-GCC.BAT").string(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return counter.count(client.name) == 1; }, std::chrono::seconds(1)));
    EXPECT_EQ(counter.count(upper(client.name)), 1);
    runner.run((client.work / "DAZ-ER-GCC.BAT").string(), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return counter.count(client.name) == 2; }, std::chrono::seconds(1)));
    EXPECT_TRUE(eventually([&] { return counter.count(client.name) == 0; }, std::chrono::seconds(5)));
}

TEST(PosixProcessCounter, NamesAreJustNames) {
    PosixProcessCounter counter;
    EXPECT_EQ(counter.count(""), 0);
    EXPECT_EQ(counter.count("it's a name' OR Name LIKE '%"), 0);
    EXPECT_EQ(counter.count("no such program.exe"), 0);
    EXPECT_EQ(counter.count("*"), 0);
}

TEST(PosixProcessCounter, KernelThreadsRunNoProgramAndAreNeverCounted) {
    // PID 2 is the kernel's thread starter on every Linux system.
    if (slurp("/proc/2/comm") != "kthreadd\n") GTEST_SKIP() << "no kthreadd here";
    EXPECT_EQ(PosixProcessCounter().count("kthreadd"), 0);
}

TEST(PosixProcessCounter, ShortenedCommNamesMatchTheirLongName) {
    // The kernel keeps 15 bytes of a name in comm.
    EXPECT_TRUE(PosixProcessCounter::matches("litecoin-cli-long-name", "litecoin-cli-lo", true));
    EXPECT_TRUE(PosixProcessCounter::matches("LITECOIN-CLI-LONG", "litecoin-cli-lo", true));
    EXPECT_FALSE(PosixProcessCounter::matches("litecoin-cli-long-name", "litecoin-cli-lo", false));
    EXPECT_FALSE(PosixProcessCounter::matches("litecoin-cli", "litecoin-cl", true));
    EXPECT_FALSE(PosixProcessCounter::matches("litecoin", "litecoin-cli-lo", true));
}

// --- Executable name ---

TEST(PosixExecutableName, DropsFolderAndLastExtensionOnly) {
    EXPECT_EQ(PosixExecutableName::without_extension("/opt/panel/VQ-DAZ-ER.exe"), "VQ-DAZ-ER");
    EXPECT_EQ(PosixExecutableName::without_extension("./VQ-DAZ-ER"), "VQ-DAZ-ER");
    EXPECT_EQ(PosixExecutableName::without_extension("panel.v2.bin"), "panel.v2");
    EXPECT_EQ(PosixExecutableName::without_extension("/opt/.hidden"), ".hidden");
    EXPECT_EQ(PosixExecutableName("").name(), "integration_tests");
}

TEST(PosixExecutableName, ASymbolicLinkIsItsOwnName) {
    TempDir dir;
    fs::create_symlink(VQD_PROBE, dir / "BTC-panel.x");
    int code = -1;
    EXPECT_EQ(output_of("'" + (dir / "BTC-panel.x") + "' name", &code), "BTC-panel\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(output_of("'" + std::string(VQD_PROBE) + "' name"), "vqd-posix-probe\n");
}

// --- Error log ---

TEST(PosixErrorLog, AppendsStampedLinesBesideTheSettings) {
    TempDir dir;
    ConfigHome home(dir.path());
    PosixExecutableName exe("/opt/LTC-panel");
    PosixErrorLog log(exe);
    EXPECT_EQ(log.location(), dir / "VQ-DAZ-ER/LTC-panel-errors.log");
    log.record("read file \"/x/DAZ-ER-GBC.LOG\": No such file or directory");
    log.record("run command \"a\nb\": two lines");
    const std::string text = slurp(log.location());
    const std::regex stamped(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d read file \"/x/DAZ-ER-GBC.LOG\": No such file or directory\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d run command \"a b\": two lines\n");
    EXPECT_TRUE(std::regex_match(text, stamped)) << text;
}

}  // namespace
}  // namespace vqd::it
