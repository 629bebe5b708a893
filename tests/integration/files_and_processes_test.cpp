// Text files, the process counter, the executable's name, the error log and
// the start-up entry on the real system.
#include "helpers.h"

#include "platform/failure.h"
#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_error_log.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_start_at_login.h"
#include "platform/posix/posix_text_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <fstream>
#include <regex>
#include <thread>

#include <pwd.h>
#include <sys/mount.h>
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

// One counter, ticking: the processes it has seen before and remembers.
// A process it has already seen several times under one name, that then runs
// another program (through a link named for the client), runs a script with
// the interpreter it already runs (sh running dash: exe stays the same), or
// renames itself, counts under its new name: the script at the next tick (sh
// is not its program's name, so its comm is read at every tick), the others
// within 16 ticks.
TEST(PosixProcessCounter, ARememberedProcessIsSeenUnderTheNameItTakesLater) {
    TempDir dir;
    Client client(dir);
    client.configure("delay_ms=4000\n");
    const std::string id = std::to_string(::getpid());
    const std::string link = "vqx" + id, script = "vqy" + id, renamed = "vqr" + id;
    fs::create_symlink(client.path(), client.folder / link);
    put(client.folder / script, "#!/bin/sh\nsleep 4\n");
    fs::permissions(client.folder / script, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    const std::string link_path = (client.folder / link).string(), client_conf = "-conf=" + client.conf,
                      exec_script = "read go; exec '" + (client.folder / script).string() + "'";
    const std::string sh = "/bin/sh";

    enum class Then { Exec, ShellExec, Rename };
    const std::pair<Then, std::string> rows[] = {{Then::Exec, link}, {Then::ShellExec, script}, {Then::Rename, renamed}};
    PosixProcessCounter counter;
    for (const auto& [then, name] : rows) {
        SCOPED_TRACE(name);
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);  // the script's sleep ends with it
            ::close(go[1]);
            if (then == Then::ShellExec) {
                ::dup2(go[0], 0);
                ::execl(sh.c_str(), "sh", "-c", exec_script.c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            char byte;
            if (::read(go[0], &byte, 1) != 1) ::_exit(1);
            if (then == Then::Exec)
                ::execl(link_path.c_str(), link_path.c_str(), client_conf.c_str(), "getblockcount",
                        static_cast<char*>(nullptr));
            ::prctl(PR_SET_NAME, name.c_str());
            for (;;) ::pause();
        }
        ASSERT_GT(pid, 0);
        ::close(go[0]);
        for (int tick = 0; tick < 5; ++tick) {
            EXPECT_EQ(counter.count(name), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(::write(go[1], "\n", 1), 1);
        ::close(go[1]);
        const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
        ASSERT_TRUE(eventually([&] { return slurp(comm) == name + "\n"; }, std::chrono::seconds(3)));
        if (then == Then::ShellExec) {
            EXPECT_EQ(counter.count(name), 1);  // at the first tick after
        } else {
            // It ran its own program under its own name: looked at again within 16 ticks.
            int ticks = 1;
            while (counter.count(name) != 1 && ticks <= 16) ++ticks;
            EXPECT_LE(ticks, 16);
        }
        ::kill(-pid, SIGKILL);
        wait_exit(pid);
    }
}

// A process the counter counted, by the name it was started as or by its
// program's file name, stops counting at the next tick once it has ended and
// is a zombie, or once it runs another program.
TEST(PosixProcessCounter, ACountedProcessStopsCountingWhenItEndsOrRunsAnotherProgram) {
    TempDir dir;
    Client client(dir);
    client.configure("delay_ms=4000\n");
    const std::string link = "vqw" + std::to_string(::getpid());
    fs::create_symlink(client.path(), client.folder / link);
    const pid_t pid = spawn({(client.folder / link).string(), "-conf=" + client.conf, "getblockcount"});
    ASSERT_GT(pid, 0);
    PosixProcessCounter counter;
    EXPECT_TRUE(eventually([&] { return counter.count(link) == 1 && counter.count(client.name) == 1; },
                           std::chrono::seconds(2)));
    for (int tick = 0; tick < 3; ++tick) counter.count(link);
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(eventually([&] { return zombie_children() >= 1; }, std::chrono::seconds(2)));
    EXPECT_EQ(counter.count(link), 0);
    EXPECT_EQ(counter.count(client.name), 0);
    wait_exit(pid);

    // A shell under its own name (a copy of it, not a link), which then runs sleep in its place.
    const std::string shell = "vqe" + std::to_string(::getpid());
    fs::copy_file("/bin/sh", client.folder / shell);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t runner = ::fork();
    if (runner == 0) {
        ::dup2(go[0], 0);
        ::close(go[1]);
        const std::string path = (client.folder / shell).string();
        ::execl(path.c_str(), shell.c_str(), "-c", "read go; exec sleep 4", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(runner, 0);
    ::close(go[0]);
    EXPECT_TRUE(eventually([&] { return counter.count(shell) == 1; }, std::chrono::seconds(2)));
    for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(counter.count(shell), 1);
    ASSERT_EQ(::write(go[1], "\n", 1), 1);
    ::close(go[1]);
    const std::string comm = "/proc/" + std::to_string(runner) + "/comm";
    ASSERT_TRUE(eventually([&] { return slurp(comm) == "sleep\n"; }, std::chrono::seconds(2)));
    EXPECT_EQ(counter.count(shell), 0);
    ::kill(runner, SIGKILL);
    wait_exit(runner);
}

// A PID the counter remembers as a zombie's, taken by a new process under the
// same name: the new one counts. Root only (it sets the kernel's next PID).
TEST(PosixProcessCounter, APidReusedByANewProcessIsNotTakenForTheOldOneAsRoot) {
    if (::geteuid() != 0) GTEST_SKIP() << "choosing the next PID needs root";
    const std::string name = "vqp" + std::to_string(::getpid());
    auto child = [&](bool live) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_NAME, name.c_str());
            if (!live) ::_exit(0);
            for (;;) ::pause();
        }
        return pid;
    };
    PosixProcessCounter counter;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t zombie = child(false);
        ASSERT_GT(zombie, 0);
        ASSERT_TRUE(eventually([&] { return zombie_children() >= 1; }, std::chrono::seconds(2)));
        EXPECT_EQ(counter.count(name), 0);
        EXPECT_EQ(counter.count(name), 0);
        wait_exit(zombie);
        std::ofstream("/proc/sys/kernel/ns_last_pid") << zombie - 1;
        const pid_t live = child(true);
        ASSERT_GT(live, 0);
        if (live == zombie) {  // else another process took the PID first: again
            EXPECT_TRUE(eventually([&] { return counter.count(name) == 1; }, std::chrono::seconds(2)));
            ::kill(live, SIGKILL);
            wait_exit(live);
            return;
        }
        ::kill(live, SIGKILL);
        wait_exit(live);
    }
    GTEST_SKIP() << "the PID went to another process every time";
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

// --- Start at login ---

std::string exec_line(const std::string& entry) {
    std::smatch m;
    return std::regex_search(entry, m, std::regex("\nExec=([^\n]*)\n")) ? m[1].str() : "";
}

TEST(PosixStartAtLogin, TheEntryRunsThePathQuotedAndValidates) {
    TempDir dir;
    ConfigHome home(dir.path());
    const bool validator = output_of("command -v desktop-file-validate") != "";
    const struct {
        std::string path, exec;
    } rows[] = {
        {"/opt/panel/VQ-DAZ-ER", "/opt/panel/VQ-DAZ-ER"},
        {"/opt/my panel/VQ-DAZ-ER", R"("/opt/my panel/VQ-DAZ-ER")"},
        {R"(/opt/a$b "q"/p)", R"("/opt/a\\$b \\"q\\"/p")"},
        {"/opt/it's/p`x`", R"("/opt/it's/p\\`x\\`")"},
        {R"(/opt/back\slash/p)", R"("/opt/back\\\\slash/p")"},
        {"/opt/100%/p", "/opt/100%%/p"},
        {"/opt/ü~/p", R"("/opt/ü~/p")"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        PosixStartAtLogin login("BTC panel", row.path);
        EXPECT_FALSE(login.enabled());
        login.set_enabled(true);
        EXPECT_EQ(login.entry_path(), dir / "autostart/BTC panel.desktop");
        const std::string entry = slurp(login.entry_path());
        EXPECT_EQ(exec_line(entry), row.exec) << entry;
        EXPECT_NE(entry.find("\nName=BTC panel\n"), std::string::npos) << entry;
        EXPECT_TRUE(login.enabled());
        if (validator) {
            int code = -1;
            const std::string said = output_of("desktop-file-validate '" + login.entry_path() + "' 2>&1", &code);
            EXPECT_EQ(code, 0) << said;
            EXPECT_EQ(said, "") << said;
        }
        login.set_enabled(false);
        EXPECT_FALSE(fs::exists(login.entry_path()));
    }
    if (!validator) std::cout << "desktop-file-validate is not installed: entries not validated\n";
}

TEST(PosixStartAtLogin, AnEntryTheUserHidOrRemovedReadsOffAndOffRemovesOnlyOurs) {
    TempDir dir;
    ConfigHome home(dir.path());
    PosixStartAtLogin login("LTC-panel", "/opt/p/LTC-panel"), other("BTC-panel", "/opt/p/BTC-panel");
    login.set_enabled(true);
    other.set_enabled(true);
    const std::string ours = login.entry_path(), written = slurp(ours);
    const struct {
        const char* what;
        std::function<void()> change;
        bool on;
    } rows[] = {
        {"as written", [] {}, true},
        {"hidden", [&] { put(ours, written + "Hidden=true\n"); }, false},
        {"disabled for GNOME", [&] { put(ours, std::regex_replace(written, std::regex("enabled=true"), "enabled=false")); }, false},
        {"running another program", [&] { put(ours, std::regex_replace(written, std::regex("/opt/p/"), "/opt/q/")); }, false},
        {"removed", [&] { fs::remove(ours); }, false},
        {"a folder", [&] { fs::remove(ours), fs::create_directory(ours); }, false},
        {"a link to an entry", [&] { fs::rename(ours, dir / "kept.desktop"), fs::create_symlink(dir / "kept.desktop", ours); }, true},
        {"an entry with an argument added", [&] { put(ours, std::regex_replace(written, std::regex("(Exec=.*)"), "$1 --min")); }, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(ours);
        put(ours, written);
        row.change();
        EXPECT_EQ(login.enabled(), row.on);
    }
    // Off takes our entry whatever the user made of it (here the hidden one),
    // and only ours.
    fs::remove_all(ours);
    put(ours, written + "Hidden=true\n");
    login.set_enabled(false);
    login.set_enabled(false);  // nothing left to remove is no failure
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_TRUE(other.enabled());
    EXPECT_EQ(slurp(other.entry_path()), other.entry_text());
}

// A folder the user cannot write: for a user, its permission bits; root
// passes those, so there a tmpfs mounted read-only.
TEST(PosixStartAtLogin, AnUnwritableFolderIsReportedAndNothingChanges) {
    TempDir dir;
    const fs::path config = dir.path() / "config";
    fs::create_directory(config);
    const bool root = ::geteuid() == 0;
    if (root && ::mount("tmpfs", config.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs";
    ConfigHome home(config);
    PosixStartAtLogin login("LTC-panel", "/opt/p/LTC-panel"), other("BTC-panel", "/opt/p/BTC-panel");
    other.set_enabled(true);
    const std::string kept = slurp(other.entry_path());
    if (root) ASSERT_EQ(::mount("tmpfs", config.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    else fs::permissions(config / "autostart", fs::perms::owner_read | fs::perms::owner_exec);

    auto reason_of = [](const std::function<void()>& f) -> std::string {
        try {
            f();
        } catch (const PlatformError& e) {
            return e.reason();
        }
        return "no failure";
    };
    const std::string expected = root ? "Read-only file system" : "Permission denied";
    EXPECT_EQ(reason_of([&] { login.set_enabled(true); }), expected);
    EXPECT_FALSE(login.enabled());
    EXPECT_EQ(reason_of([&] { other.set_enabled(false); }), expected);
    EXPECT_TRUE(other.enabled());
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(config / "autostart")) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"BTC-panel.desktop"});
    EXPECT_EQ(slurp(other.entry_path()), kept);

    // A missing folder that cannot be made: none of it is left behind.
    ConfigHome deeper(config / "autostart/new/config");
    EXPECT_EQ(reason_of([&] { login.set_enabled(true); }), expected);
    EXPECT_FALSE(fs::exists(config / "autostart/new"));
    if (root) ::umount2(config.c_str(), MNT_DETACH);
    else fs::permissions(config / "autostart", fs::perms::owner_all);
}

TEST(StartedProgramPath, AbsoluteWithoutResolvingLinksAsTheShellFoundIt) {
    TempDir dir;
    const fs::path was = fs::current_path();
    fs::create_directories(dir.path() / "bin");
    fs::create_directories(dir.path() / "plain");
    fs::copy_file(VQD_PROBE, dir.path() / "bin/panel");
    put(dir.path() / "plain/panel", "not a program");  // earlier in PATH, but not executable
    fs::create_symlink("panel", dir.path() / "bin/LTC-panel");
    fs::current_path(dir.path());
    const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir / "plain" + ":" + dir / "bin").c_str(), 1);
    const std::string here = fs::current_path().string(), self = fs::read_symlink("/proc/self/exe").string();
    const struct {
        const char* argv0;
        std::string path;
    } rows[] = {
        {"/opt/p/VQ-DAZ-ER", "/opt/p/VQ-DAZ-ER"},
        {"bin/panel", here + "/bin/panel"},
        {"./bin/.//LTC-panel", here + "/bin/LTC-panel"},
        {"bin/../bin/panel", here + "/bin/../bin/panel"},
        {"panel", here + "/bin/panel"},
        {"LTC-panel", here + "/bin/LTC-panel"},
        {"not-in-path", self},
        {nullptr, self},
    };
    for (const auto& row : rows) EXPECT_EQ(started_program_path(row.argv0), row.path) << (row.argv0 ? row.argv0 : "null");
    ::setenv("PATH", old_path.c_str(), 1);
    fs::current_path(was);
}

}  // namespace
}  // namespace vqd::it
