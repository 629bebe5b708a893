#include "platform/posix/posix_error_log.h"

#include "platform/posix/posix_settings_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace vqd {

std::string PosixErrorLog::location() const {
    return posix_config_folder(application_) + "/" + executable_.name() + "-errors.log";
}

std::string PosixErrorLog::format_line(const std::string& message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + " " + message;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line + "\n";
}

void PosixErrorLog::record(const std::string& message) {
    const std::string line = format_line(message);
    std::fputs(line.c_str(), stderr);
    const std::string path = location();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (std::FILE* f = std::fopen(path.c_str(), "ae")) {
        const bool ok = std::fputs(line.c_str(), f) >= 0;
        if (std::fclose(f) == 0 && ok) return;
    }
    std::fprintf(stderr, "(the error log %s cannot be written: %s)\n", path.c_str(), std::strerror(errno));
}

}  // namespace vqd
