// The metrics file on a real disk, checked by Prometheus' own format checker
// (promtool, from Debian's prometheus package) as the node exporter's textfile
// collector would read it.
#include "helpers.h"

#include "extras/extras_options.h"
#include "model/virtual_clock.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fakes.h"
#include "platform/posix/posix_error_log.h"
#include "platform/posix/posix_settings_store.h"
#include "platform/posix/posix_text_files.h"
#include "windows/extras_monitor.h"
#include "windows/main_window.h"

#include <clocale>

namespace vqd::it {
namespace {

// promtool's verdict on a file: its exit status and everything it said.
std::pair<int, std::string> promtool_check(const std::string& file) {
    int status = -1;
    std::string said = output_of("promtool check metrics < '" + file + "' 2>&1", &status);
    return {status, said};
}

class MetricsFile : public ::testing::Test {
protected:
    TempDir dir;
    VirtualClock clock;
    Scheduler scheduler{clock};
    fake::Platform platform;
    fake::Desktop desktop;
    PosixTextFiles files;
    std::string metrics = dir / "node-a.prom";

    Services services() {
        Services s = platform.services();
        return Services{s.store, s.executable, s.runner, s.processes, files, s.topmost, s.errors, s.conventions};
    }
    void put(const std::string& key, const std::string& value) { platform.store.put(platform.executable.exe, key, value); }
};

TEST_F(MetricsFile, TheFileWrittenAfterRealPollsPassesPromtoolsCheck) {
    platform.executable.exe = "node \"a\"";  // a section name that needs escaping in a label
    const std::string gbc_log = dir / "DAZ-ER-GBC.LOG", gcc_log = dir / "DAZ-ER-GCC.LOG";
    put("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "gbc");
    put("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "gcc");
    put("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", gbc_log);
    put("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", gcc_log);
    put("CLI_NAME_TEXTBOX", "litecoin-cli");
    put(std::string(kHealthCuesKey), "1");
    put(std::string(kMetricsFileKey), "1");
    put(std::string(kMetricsPathKey), metrics);
    platform.runner.on_run = [&](const std::string& line) {
        files.write_line(line == "gbc" ? gbc_log : gcc_log, line == "gbc" ? "2718281" : "0");
    };
    MainWindow main(scheduler, services());
    main.start();
    ExtrasMonitor monitor(scheduler, services(), desktop.services(), main);
    monitor.start();

    scheduler.advance(1000);
    auto [status, said] = promtool_check(metrics);
    EXPECT_EQ(status, 0) << said;  // before any poll: families without samples

    main.post_click(main["GETBLOCKCOUNT_BUTTON"]);
    main.post_click(main["GETCONNECTIONCOUNT_BUTTON"]);
    scheduler.advance(20000);
    // A client call that hangs: the watcher sees it within a second.
    platform.processes.running["litecoin-cli"] = 1;
    scheduler.advance(2000);
    std::tie(status, said) = promtool_check(metrics);
    EXPECT_EQ(status, 0) << said;
    const std::string text = slurp(metrics);
    EXPECT_NE(text.find("vqdazer_blocks{section=\"node \\\"a\\\"\"} 2718281\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cue=\"no_peers\"} 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vqdazer_client_running{section=\"node \\\"a\\\"\"} 1\n"), std::string::npos) << text;
    // Nothing but the file itself is left in its folder: the temporary was renamed over it.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().extension() == ".prom" || e.path().filename().string().find("node-a") != std::string::npos)
            ++entries;
    EXPECT_EQ(entries, 1);
}

// A full disk: the earlier file stays whole and the failure reaches the main
// window's error path; once there is room again the next tick writes it.
TEST_F(MetricsFile, OnAFullDiskTheEarlierFileStaysWholeAndTheFailureIsReportedAsRoot) {
    const std::string mount_point = dir / "small";
    fs::create_directory(mount_point);
    int status = -1;
    output_of("mount -t tmpfs -o size=64k tmpfs '" + mount_point + "' 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    struct Unmount {
        std::string at;
        ~Unmount() { output_of("umount '" + at + "' 2>&1"); }
    } unmount{mount_point};

    const std::string file = mount_point + "/node.prom";
    put("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "gbc");
    put("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", dir / "gbc.log");
    put(std::string(kMetricsFileKey), "1");
    put(std::string(kMetricsPathKey), file);
    platform.runner.on_run = [&](const std::string&) { files.write_line(dir / "gbc.log", "31415"); };
    MainWindow main(scheduler, services());
    main.start();
    ExtrasMonitor monitor(scheduler, services(), desktop.services(), main);
    monitor.start();
    scheduler.advance(1000);
    const std::string before = slurp(file);
    ASSERT_NE(before.find("vqdazer_client_running"), std::string::npos);

    // Fill every free page but one: too little for the new file beside the old one.
    output_of("head -c 61440 /dev/zero > '" + mount_point + "/filler' 2>/dev/null");
    main.post_click(main["GETBLOCKCOUNT_BUTTON"]);
    scheduler.advance(10000);
    EXPECT_EQ(slurp(file), before);
    EXPECT_NE(main.status().find("EXTRAS_MONITOR_TIMER_Timer failed"), std::string::npos) << main.status();
    EXPECT_NE(main.status().find("space"), std::string::npos) << main.status();
    EXPECT_EQ(platform.errors.messages.size(), 1u);

    fs::remove(mount_point + "/filler");
    scheduler.advance(1000);
    EXPECT_NE(slurp(file).find("vqdazer_blocks{section=\"VQ-DAZ-ER\"} 31415\n"), std::string::npos);
    EXPECT_EQ(main.status(), "");
}

// The user's locale, as Qt sets it for the whole program; C again afterwards.
struct ScopedLocale {
    bool ok;
    explicit ScopedLocale(const char* name) : ok(std::setlocale(LC_ALL, name) != nullptr) {}
    ~ScopedLocale() { std::setlocale(LC_ALL, "C"); }
};

// The section is the executable's name, which may hold any bytes but "/" and NUL.
TEST_F(MetricsFile, EverySectionNamePassesPromtoolsCheckUnderGermanAndTurkishLocales) {
    const std::string sections[] = {
        "VQ-DAZ-ER", "node \"a\"", "back\\slash\\", "two\nlines", "carriage\rreturn\ttab", "İstanbul-ığ",
        "latin1-\xE9t\xE9", "cut-\xC3", "\xED\xA0\x80surrogate", "} 1\n# TYPE x gauge", "",
    };
    for (const char* name : {"de_DE.UTF-8", "tr_TR.UTF-8"}) {
        ScopedLocale locale(name);
        ASSERT_TRUE(locale.ok) << name << " is not installed (package locales-all)";
        NodeState node;
        node.block = "2718281\n";
        node.block_read_at = 1000;
        node.peers = "8\n";
        node.peers_read_at = 3333;
        node.client_running = true;
        node.loop_running = true;
        for (const std::string& section : sections) {
            SCOPED_TRACE(std::string(name) + " section " + ::testing::PrintToString(section));
            files.write_whole(metrics, metrics_text(section, node, Cues{.no_peers = true}, true, 9008));
            const auto [status, said] = promtool_check(metrics);
            EXPECT_EQ(status, 0) << said << slurp(metrics);
        }
        const std::string text = slurp(metrics);
        EXPECT_NE(text.find("_age_seconds{section=\"\"} 8.008\n"), std::string::npos) << text;
        EXPECT_NE(text.find("_age_seconds{section=\"\"} 5.675\n"), std::string::npos) << text;
    }
}

// The program's own files, compared as the system opens them: a path spelled
// through "..", doubled slashes, a linked folder or a hard link is the same file.
TEST_F(MetricsFile, APathNamingTheSettingsFileOrALogInAnySpellingIsRefused) {
    ConfigHome home(dir.path() / "config");
    platform.executable.exe = "node-a";
    PosixErrorLog errors(platform.executable);
    const std::string settings = PosixSettingsStore::file_path("VQ-DAZ-ER", "node-a");
    const std::string folder = dir / "config/VQ-DAZ-ER";
    fs::create_directories(folder);
    it::put(settings, "[General]\n");
    fs::create_directory_symlink(folder, dir / "linked");
    fs::create_hard_link(settings, dir / "hard.ini");
    const std::string gbc_log = dir / "logs/DAZ-ER-GBC.LOG";
    fs::create_directories(dir / "logs");
    it::put(gbc_log, "");
    platform.store.put("node-a", "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", gbc_log);

    const Services s = services();
    const Services with_log{s.store, s.executable, s.runner, s.processes, s.files, s.topmost, errors, s.conventions};
    MainWindow main(scheduler, with_log);
    main.start();
    ExtrasMonitor monitor(scheduler, with_log, desktop.services(), main);
    const struct {
        std::string path, reason;
    } refused[] = {
        {dir / "logs/../config//VQ-DAZ-ER/./node-a.ini", "the settings file"},
        {dir / "linked/node-a.ini", "the settings file"},
        {dir / "hard.ini", "the settings file"},
        {dir / "linked/node-a-errors.log", "the error log"},  // not written yet: compared by its resolved path
        {dir / "logs//DAZ-ER-GBC.LOG", "the block count log"},
        {"./node.prom", "needs a full path"},
    };
    for (const auto& r : refused) {
        const auto refusal = monitor.metrics_path_refusal(r.path);
        ASSERT_TRUE(refusal.has_value()) << r.path;
        EXPECT_NE(refusal->find(r.reason), std::string::npos) << *refusal;
    }
    for (const std::string& fine : {dir / "linked/node-b.ini", dir / "logs/node.prom", dir / "node-a.ini"})
        EXPECT_EQ(monitor.metrics_path_refusal(fine), std::nullopt) << fine;
}

TEST_F(MetricsFile, PromtoolRejectsABrokenFileSoTheCheckCanFail) {
    files.write_whole(metrics, "vqdazer_blocks{section=\"a} 1\n");
    EXPECT_NE(promtool_check(metrics).first, 0);
}

}  // namespace
}  // namespace vqd::it
