// Where failures inside handlers are recorded: a time-stamped line appended to
// the error log file and written to standard error.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vqd {

class ErrorLog {
public:
    virtual ~ErrorLog() = default;
    virtual void record(const std::string& message) = 0;
    // Where the log is kept, for the README and the status strip.
    virtual std::string location() const = 0;
    // The files the program keeps for itself on the disk, each with what it
    // is ("the error log", "the settings file"), so that no option can name
    // one of them as a file to write over.
    virtual std::vector<std::pair<std::string, std::string>> own_files() const {
        return {{"the error log", location()}};
    }
};

// One failure as one log line: "YYYY-MM-DD HH:MM:SS message", local time, with
// line breaks inside the message turned into blanks, ended by `line_end`.
inline std::string stamped_line(const std::string& message, std::string_view line_end) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "";
    if (const std::tm* local = std::localtime(&now))  // one thread: the shared result is safe
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
    std::string line = std::string(stamp) + " " + message;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line + std::string(line_end);
}

}  // namespace vqd
