// In-memory stand-ins for the platform services, for headless tests. Each
// records what it was asked, so a test can check order and arguments.
#pragma once

#include "platform/failure.h"
#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vqd::fake {

class Store final : public SettingsStore {
public:
    using Key = std::pair<std::string, std::string>;  // section, key
    std::string get(const std::string& application, const std::string& section, const std::string& key,
                    const std::string& fallback) override;
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;
    void save_all(const std::string& application, const std::string& section, const Values& values) override;
    std::vector<std::string> read_notes(const std::string&, const std::string& section) override {
        auto it = notes.find(section);
        return it == notes.end() ? std::vector<std::string>{} : it->second;
    }

    void put(const std::string& section, const std::string& key, const std::string& value) {
        values[{section, key}] = value;
    }
    std::optional<std::string> value(const std::string& section, const std::string& key) const;

    std::map<Key, std::string> values;
    std::vector<std::string> reads;   // keys, in the order they were read
    std::vector<std::string> writes;  // keys, in the order they were saved
    std::vector<std::vector<std::string>> batches;  // keys of each write to the store
    std::set<std::string> unreadable;  // sections whose reads fail
    std::map<std::string, std::vector<std::string>> notes;  // per section: lines a person edited, as read_notes tells them
    std::set<std::string> applications;  // every application name used
    bool fail_saves = false;
    std::set<std::string> failing_keys;  // a write that holds one of these keys fails whole
};

class Executable final : public ExecutableName {
public:
    explicit Executable(std::string n = "VQ-DAZ-ER") : exe(std::move(n)) {}
    std::string name() const override { return exe; }
    std::string exe;
};

class Runner final : public CommandRunner {
public:
    struct Run {
        std::string line;
        WindowStyle style;
        std::int64_t at;  // clock time, when a clock was given
    };
    void run(const std::string& command_line, WindowStyle style) override;

    std::vector<Run> runs;
    std::set<std::string> failing;      // lines that cannot be started
    bool fail_empty = true;             // an empty line fails, as on the real platforms
    std::function<std::int64_t()> clock;
    std::function<void(const std::string&)> on_run;  // side effects: write a log, start a "process"
};

class Processes final : public ProcessCounter {
public:
    int count(const std::string& image_name) override;
    std::map<std::string, int> running;  // image name (any case) -> instances
    std::vector<std::string> queries;
    bool fail = false;
};

class Files final : public TextFiles {
public:
    explicit Files(std::string line_end = "\r\n") : eol(std::move(line_end)) {}
    void write_line(const std::string& path, const std::string& line) override;
    void write_whole(const std::string& path, const std::string& bytes) override;
    std::string read_whole(const std::string& path) override;
    // Absolute in either platform's way ("/x", "C:\x", "\\server\share");
    // the same file when the paths are equal after "." and ".." are resolved,
    // or when `aliases` says so.
    bool is_absolute(const std::string& path) const override;
    bool same_file(const std::string& a, const std::string& b) const override;

    std::map<std::string, std::string> content;
    std::set<std::pair<std::string, std::string>> aliases;  // pairs of paths naming one file
    std::set<std::string> unwritable;
    std::vector<std::string> written;  // paths, in order
    std::string eol;
};

class Top final : public Topmost {
public:
    std::uintptr_t foreground_window() override { return foreground; }
    void set_topmost(std::uintptr_t window, bool topmost) override { calls.emplace_back(window, topmost); }
    std::uintptr_t foreground = 0;
    std::vector<std::pair<std::uintptr_t, bool>> calls;
};

class Errors final : public ErrorLog {
public:
    void record(const std::string& message) override { messages.push_back(message); }
    std::string location() const override { return "(memory)"; }
    std::vector<std::pair<std::string, std::string>> own_files() const override { return own; }
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> own;  // what, path
};

// Everything a window needs, wired together.
struct Platform {
    Store store;
    Executable executable;
    Runner runner;
    Processes processes;
    Files files;
    Top topmost;
    Errors errors;
    FileConventions conventions = kWindowsFiles;

    Services services() {
        return Services{store, executable, runner, processes, files, topmost, errors, conventions};
    }
};

}  // namespace vqd::fake
