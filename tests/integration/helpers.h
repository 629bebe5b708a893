// Shared pieces of the integration tests: throw-away folders, files, child
// processes and waiting on the real clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vqd::it {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "vqd-it-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// XDG_CONFIG_HOME pointed at a folder for the life of the object.
class ConfigHome {
public:
    explicit ConfigHome(const fs::path& folder) {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old, had_ = true;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome() {
        if (had_)
            ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

private:
    std::string old_;
    bool had_ = false;
};

inline std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void put(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline int count_lines(const fs::path& file) {
    const std::string s = slurp(file);
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

// Start a program and return its pid; the caller waits for it.
inline pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

inline int wait_exit(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Standard output of a program run to its end.
inline std::string output_of(const std::string& shell_line, int* exit_code = nullptr) {
    std::string out;
    if (FILE* p = ::popen(shell_line.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        const int status = ::pclose(p);
        if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return out;
}

// Poll `done` on the real clock until it holds or `limit` passes.
inline bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Children of this process that ended and were never reaped.
inline int zombie_children() {
    int zombies = 0;
    const std::string me = std::to_string(::getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = slurp(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == me && state == "Z") ++zombies;
    }
    return zombies;
}

// The pid of a process running the program `name`, or -1.
inline pid_t pid_of(const std::string& name) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code ec;
        const auto exe = fs::read_symlink(entry.path() / "exe", ec);
        if (!ec && exe.filename() == name) return static_cast<pid_t>(std::stol(entry.path().filename().string()));
    }
    return -1;
}

// The test client, copied under a name no other process on the machine has,
// into a folder whose name holds a blank (the only quoted part of a batch line).
struct Client {
    Client(const TempDir& dir, const std::string& name_prefix = "vqd-cli") {
        folder = dir.path() / "client dir";
        fs::create_directories(folder);
        name = name_prefix + "-" + std::to_string(::getpid());
        fs::copy_file(VQD_TEST_CLI, folder / name);
        work = dir.path() / "work";
        fs::create_directories(work);
        conf = (work / "node.conf").string();
    }
    std::string path() const { return (folder / name).string(); }
    // A batch line as the settings window composes it (no daemon option).
    std::string line(const std::string& command, const std::string& log = {}) const {
        std::string l = "call \"" + folder.string() + "/" + name + "\" -conf=" + conf + " " + command;
        if (!log.empty()) l += " > " + log;
        return l;
    }
    void configure(const std::string& conf_text) const { put(conf, conf_text); }
    int calls() const { return count_lines(conf + ".calls"); }

    fs::path folder, work;
    std::string name, conf;
};

}  // namespace vqd::it
