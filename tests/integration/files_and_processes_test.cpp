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
#include <cerrno>
#include <clocale>
#include <csignal>
#include <regex>

#include <pwd.h>
#include <sys/prctl.h>

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

// The C library's locale for one scope (the application object's setlocale would keep it).
class Locale {
public:
    explicit Locale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)), ok_(std::setlocale(LC_ALL, name)) {}
    ~Locale() { std::setlocale(LC_ALL, old_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_;
};

TEST(PosixProcessCounter, NamesCompareAsWindowsComparesImageNamesInAnyLocale) {
    Locale turkish("tr_TR.UTF-8");
    ASSERT_TRUE(turkish.ok()) << "the tr_TR.UTF-8 locale is missing (locales-all)";
    struct Row {
        const char* a;
        const char* b;
        bool same;
    };
    const Row rows[] = {
        {"TESTI-cli", "testi-cli", true},  // the locale's I and i are not the file system's
        {"\xc3\x84rger-cli", "\xc3\xa4rger-cli", true},                      // Ärger / ärger
        // Windows keeps letters whose uppercase belongs to another lowercase:
        {"\xce\xa3", "\xcf\x82", false},  // Σ, final ς
        {"\xc4\xb1-cli", "I-CLI", false},   // dotless ı
        {"stra\xc3\x9f" "e", "STRASSE", false},  // one unit each: no ß to SS
        {"\xc3\x84rger-cli", "Arger-cli", false},
        {"\xff-cli", "\xfe-cli", false},  // not UTF-8: bytes, not two replacement characters
        {"\xff-CLI", "\xff-cli", true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PosixProcessCounter::same_name(row.a, row.b), row.same) << row.a << " / " << row.b;
        EXPECT_EQ(PosixProcessCounter::same_name(row.b, row.a), row.same) << row.b << " / " << row.a;
    }
    // comm cuts "abcdefghijklmnÄX" inside the Ä.
    EXPECT_TRUE(PosixProcessCounter::matches("ABCDEFGHIJKLMN\xc3\x84X", "abcdefghijklmn\xc3", true));
}

// A slow client started under other names: through a symbolic link, as a
// `#!` script, under a name longer than comm holds, in another letter case.
TEST(PosixProcessCounter, SeesAClientByTheNameItWasStartedAs) {
    Locale turkish("tr_TR.UTF-8");
    ASSERT_TRUE(turkish.ok()) << "the tr_TR.UTF-8 locale is missing (locales-all)";
    TempDir dir;
    Client client(dir);
    client.configure("delay_ms=4000\n");
    const std::string id = std::to_string(::getpid());
    const std::string link = "vql" + id, long_link = "vqd-long-started-name-" + id, script = "vqs" + id,
                      long_script = "vqd-long-script-name-" + id, turkish_name = "VQTI" + id,
                      umlaut = "vq\xc3\x84rger-" + id;  // vqÄrger-
    std::vector<pid_t> children;
    for (const auto& name : {link, long_link, turkish_name, umlaut}) {
        fs::create_symlink(client.path(), client.folder / name);
        children.push_back(spawn({(client.folder / name).string(), "-conf=" + client.conf, "getblockcount"}));
    }
    for (const auto& name : {script, long_script}) {
        put(client.folder / name, "#!/bin/sh\nsleep 4\nexit 0\n");
        fs::permissions(client.folder / name, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        children.push_back(spawn({(client.folder / name).string()}));
    }

    const std::pair<std::string, int> rows[] = {
        {link, 1}, {long_link, 1}, {script, 1}, {long_script, 1}, {"vqti" + id, 1},
        {long_link + "-x", 0},          // comm holds the same 15 bytes; the command line tells
        {"vq\xc3\xa4rger-" + id, 1},  // vqärger-
        {client.name, 4},               // every one but the scripts runs the client's file
    };
    auto all_seen = [&] {
        PosixProcessCounter counter;
        for (const auto& [name, running] : rows)
            if (counter.count(name) != running) return false;
        return true;
    };
    EXPECT_TRUE(eventually(all_seen, std::chrono::seconds(3)));
    PosixProcessCounter counter;
    for (const auto& [name, running] : rows) EXPECT_EQ(counter.count(name), running) << name;
    for (const pid_t pid : children) ::kill(pid, SIGKILL);
    for (const pid_t pid : children) wait_exit(pid);
}

// The kernel answers EACCES, not ENOENT, for the program of a kernel thread
// or of another user's zombie when a user other than root asks; only comm
// names them then. Run as root, the test also asks under another user's id.
TEST(PosixProcessCounter, ZombiesAndKernelThreadsNeverCountWhoeverAsks) {
    const std::string id = std::to_string(::getpid());
    // The second name fools a reader of /proc/PID/stat that stops at the first ')'.
    const std::string names[] = {"vqz" + id, "z) R " + id};
    std::vector<pid_t> zombies;
    for (const auto& name : names) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_NAME, name.c_str());
            ::_exit(0);
        }
        ASSERT_GT(pid, 0);
        zombies.push_back(pid);
    }
    ASSERT_TRUE(eventually([&] { return zombie_children() >= 2; }, std::chrono::seconds(2)));
    const bool kthreadd = slurp("/proc/2/comm") == "kthreadd\n";
    auto none_counts = [&](const std::string& who) {
        PosixProcessCounter counter;
        for (const auto& name : names) EXPECT_EQ(counter.count(name), 0) << name << " asked by " << who;
        if (kthreadd) {
            EXPECT_EQ(counter.count("kthreadd"), 0) << "asked by " << who;
        }
    };
    none_counts("uid " + std::to_string(::geteuid()));
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("vqd-tester");
        const uid_t other = user ? user->pw_uid : 65534;
        ASSERT_EQ(::seteuid(other), 0);
        char target[64];
        const bool hidden = ::readlink(("/proc/" + std::to_string(zombies[0]) + "/exe").c_str(), target,
                                       sizeof target) < 0 && errno == EACCES;
        none_counts("uid " + std::to_string(other));
        ASSERT_EQ(::seteuid(0), 0);
        EXPECT_TRUE(hidden) << "another user's zombie should be hidden from this one";
    }
    for (const pid_t pid : zombies) ::waitpid(pid, nullptr, 0);
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
