// A simulated week of the program on the virtual clock: both poll options on,
// so the 60-second loop polls the block count and the connection count once a
// minute, with the watcher and always-on-top ticking every second throughout.
// The services are lean stand-ins that count what they are asked and keep
// nothing, so the memory figure is the program's own. Prints "name: value
// unit" lines; passes or fails nothing.
#include "model/virtual_clock.h"
#include "windows/main_window.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace {

using namespace vqd;

const std::string kGbcBat = "/week/DAZ-ER-GBC.BAT", kGccBat = "/week/DAZ-ER-GCC.BAT";
const std::string kGbcLog = "/week/DAZ-ER-GBC.LOG", kGccLog = "/week/DAZ-ER-GCC.LOG";

struct Store final : SettingsStore {
    std::map<std::string, std::string> values;
    long saves = 0;
    std::string get(const std::string&, const std::string&, const std::string& key, const std::string& fallback) override {
        const auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    void save(const std::string&, const std::string&, const std::string& key, const std::string& value) override {
        values[key] = value;
        ++saves;
    }
    void save_all(const std::string&, const std::string&, const Values& batch) override {
        for (const auto& [key, value] : batch) values[key] = value;
        ++saves;
    }
};
struct Exe final : ExecutableName {
    std::string name() const override { return "VQ-DAZ-ER"; }
};
struct Runner final : CommandRunner {
    long block_runs = 0, connection_runs = 0, other_runs = 0;
    void run(const std::string& line, WindowStyle) override {
        if (line == kGbcBat) ++block_runs;
        else if (line == kGccBat) ++connection_runs;
        else ++other_runs;
    }
};
struct Processes final : ProcessCounter {
    long queries = 0;
    int count(const std::string&) override { return ++queries, 0; }
};
struct Files final : TextFiles {
    long reads = 0, writes = 0;
    long block = 2750000;
    void write_line(const std::string&, const std::string&) override { ++writes; }
    void write_whole(const std::string&, const std::string&) override { ++writes; }
    std::string read_whole(const std::string& path) override {
        ++reads;
        return path == kGbcLog ? std::to_string(++block) + "\n" : "8\n";
    }
    bool is_absolute(const std::string& path) const override { return !path.empty() && path[0] == '/'; }
    bool same_file(const std::string& a, const std::string& b) const override { return a == b; }
};
struct Top final : Topmost {
    long calls = 0;
    std::uintptr_t foreground_window() override { return 1; }
    void set_topmost(std::uintptr_t, bool) override { ++calls; }
};
struct Errors final : ErrorLog {
    long records = 0;
    void record(const std::string&) override { ++records; }
    std::string location() const override { return "(none)"; }
};

long peak_rss_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main() {
    constexpr std::int64_t kWeek = 7LL * 24 * 3600 * 1000;
    VirtualClock clock;
    Scheduler scheduler(clock);
    Store store;
    Exe exe;
    Runner runner;
    Processes processes;
    Files files;
    Top top;
    Errors errors;
    store.values = {{"CLI_GBC_BAT_TICKBOX", "1"},
                    {"CLI_GCC_BAT_TICKBOX", "1"},
                    {"CLI_NAME_TEXTBOX", "litecoin-cli"},
                    {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", kGbcBat},
                    {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", kGccBat},
                    {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", kGbcLog},
                    {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", kGccLog}};
    MainWindow main(scheduler, Services{store, exe, runner, processes, files, top, errors, kPosixFiles});

    const auto t0 = std::chrono::steady_clock::now();
    main.start();
    // Half a minute past the week, so the polls of the loop's last tick finish.
    scheduler.advance(kWeek + 30'000);
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    const long loops = kWeek / 60'000;
    std::printf("week_wall_time: %.0f ms\n", wall);
    std::printf("week_peak_rss: %ld kB\n", peak_rss_kb());
    std::printf("week_loop_ticks_expected: %ld polls\n", loops);
    std::printf("week_block_polls: %ld polls\n", runner.block_runs);
    std::printf("week_connection_polls: %ld polls\n", runner.connection_runs);
    std::printf("week_counts_exact: %s bool\n",
                runner.block_runs == loops && runner.connection_runs == loops && runner.other_runs == 0 ? "yes" : "no");
    std::string last = main["CURRENT_BLOCK_TEXTBOX"].text();
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    std::printf("week_last_block_count: %s blocks\n", last.c_str());
    std::printf("week_watcher_queries: %ld queries\n", processes.queries);
    std::printf("week_errors_recorded: %ld errors\n", errors.records);
    return 0;
}
