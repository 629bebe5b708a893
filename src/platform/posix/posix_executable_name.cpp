#include "platform/posix/posix_executable_name.h"

#include <filesystem>
#include <system_error>

namespace vqd {

std::string PosixExecutableName::without_extension(const std::string& path) {
    // stem() drops the last ".ext" only, and keeps a leading dot as part of the name.
    return std::filesystem::path(path).filename().stem().string();
}

PosixExecutableName::PosixExecutableName(const std::string& invoked_as) {
    name_ = without_extension(invoked_as);
    if (!name_.empty()) return;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    name_ = ec ? std::string("VQ-DAZ-ER") : without_extension(self.string());
}

}  // namespace vqd
