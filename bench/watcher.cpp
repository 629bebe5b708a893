// The process watcher's cost against running pgrep as a process, side by
// side, with the machine holding about N processes (idle children this
// program starts and ends): back to back (median of 200), and once a second
// as the program ticks (median of 11, every cache gone cold meanwhile).
// Prints "name: value unit" lines; passes or fails nothing.
//
//   vqd-bench-watcher NAME N...        e.g. vqd-bench-watcher vqd-test-cli 100 500 2000
//   vqd-bench-watcher --hold N         start idle children up to N processes, wait for SIGTERM
#include "platform/posix/posix_process_counter.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kRuns = 200;
constexpr int kSpacedRuns = 11;

int processes_on_machine() {
    DIR* proc = ::opendir("/proc");
    if (!proc) return 0;
    int n = 0;
    while (const dirent* e = ::readdir(proc))
        if (e->d_name[0] >= '0' && e->d_name[0] <= '9') ++n;
    ::closedir(proc);
    return n;
}

// Idle children until the machine holds `target` processes (more are never ended).
void grow_to(int target, std::vector<pid_t>& children) {
    for (int have = processes_on_machine(); have < target; ++have) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (;;) ::pause();
        }
        if (pid < 0) {
            std::perror("fork");
            return;
        }
        children.push_back(pid);
    }
}

void end_all(std::vector<pid_t>& children) {
    for (pid_t pid : children) ::kill(pid, SIGKILL);
    for (pid_t pid : children) ::waitpid(pid, nullptr, 0);
    children.clear();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

template <class F>
double median_us(F&& once, int runs = kRuns, std::chrono::milliseconds apart = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (i > 0) std::this_thread::sleep_for(apart);
        const auto t0 = std::chrono::steady_clock::now();
        once();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    return median(times);
}

int run_pgrep(const std::string& name) {
    const char* argv[] = {"pgrep", "-x", "-c", name.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "pgrep", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        std::vector<pid_t> children;
        grow_to(std::atoi(argv[2]), children);
        static volatile std::sig_atomic_t stop = 0;
        std::signal(SIGTERM, [](int) { stop = 1; });
        std::printf("%d\n", processes_on_machine());
        std::fflush(stdout);
        while (!stop) ::pause();
        end_all(children);
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: vqd-bench-watcher NAME N... | --hold N\n");
        return 2;
    }
    const std::string name = argv[1];
    vqd::PosixProcessCounter counter;
    std::vector<pid_t> children;
    for (int i = 2; i < argc; ++i) {
        const int target = std::atoi(argv[i]);
        grow_to(target, children);
        const int seen = processes_on_machine();
        const int matches = counter.count(name);
        const double tick = median_us([&] { counter.count(name); });
        // As the program ticks: once a second, every cache gone cold meanwhile.
        const double spaced = median_us([&] { counter.count(name); }, kSpacedRuns, std::chrono::seconds(1));
        const double pgrep = median_us([&] { run_pgrep(name); });
        std::printf("watcher_%d_processes_on_machine: %d processes\n", target, seen);
        std::printf("watcher_%d_matching: %d processes\n", target, matches);
        std::printf("watcher_%d_tick: %.1f us\n", target, tick);
        std::printf("watcher_%d_tick_once_a_second: %.1f us\n", target, spaced);
        std::printf("watcher_%d_pgrep: %.1f us\n", target, pgrep);
        std::printf("watcher_%d_ratio: %.1f x\n", target, pgrep / tick);
        std::printf("watcher_%d_tick_per_process: %.3f us\n", target, tick / seen);
        std::fflush(stdout);
    }
    end_all(children);
    return 0;
}
