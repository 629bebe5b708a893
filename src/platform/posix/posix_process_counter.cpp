#include "platform/posix/posix_process_counter.h"

#include "platform/failure.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace vqd {

namespace {

constexpr std::size_t kCommLength = 15;  // TASK_COMM_LEN less its terminating zero
constexpr std::string_view kDeleted = " (deleted)";

bool equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool all_digits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// The base name of the program a process runs, or nothing when exe is unreadable.
bool exe_name(const std::string& pid_dir, std::string& name) {
    char target[4096];
    const ssize_t n = ::readlink((pid_dir + "/exe").c_str(), target, sizeof target);
    if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) return false;
    std::string path(target, static_cast<std::size_t>(n));
    // A program replaced on disk while it runs (an upgrade) is still itself.
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    const auto slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

bool comm_name(const std::string& pid_dir, std::string& name) {
    const int fd = ::open((pid_dir + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[64];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0) return false;
    name.assign(buf, static_cast<std::size_t>(n));
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return true;
}

}  // namespace

bool PosixProcessCounter::matches(const std::string& wanted, const std::string& seen, bool seen_is_comm) {
    if (seen_is_comm && seen.size() == kCommLength && wanted.size() > kCommLength)
        return equal_nocase(std::string_view(wanted).substr(0, kCommLength), seen);
    return equal_nocase(wanted, seen);
}

int PosixProcessCounter::count(const std::string& image_name) {
    if (image_name.empty()) return 0;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
    if (!proc) throw PlatformError("count processes", image_name, std::strerror(errno));
    int found = 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!all_digits(entry->d_name)) continue;
        const std::string dir = std::string("/proc/") + entry->d_name;
        std::string name;
        // A process that ends while we look is simply not counted.
        if (exe_name(dir, name)) {
            if (matches(image_name, name, false)) ++found;
        } else if (comm_name(dir, name)) {
            if (matches(image_name, name, true)) ++found;
        }
    }
    return found;
}

}  // namespace vqd
