#include "platform/posix/posix_error_log.h"

#include "platform/posix/posix_settings_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vqd {

std::string PosixErrorLog::location() const {
    return posix_config_folder(application_) + "/" + executable_.name() + "-errors.log";
}

std::vector<std::pair<std::string, std::string>> PosixErrorLog::own_files() const {
    return {{"the error log", location()},
            {"the settings file", PosixSettingsStore::file_path(application_, executable_.name())}};
}

void PosixErrorLog::record(const std::string& message) {
    const std::string line = stamped_line(message, "\n");
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
