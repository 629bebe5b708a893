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

// The tick runs once a second for weeks, over every process on the machine,
// and on a virtual machine every system call into /proc costs microseconds:
// each process costs one readlinkat relative to the open /proc folder, into
// buffers on the stack, with no path built on the heap. Kernel threads (half
// the processes of a quiet machine) and zombies run no program, and the
// kernel says so with ENOENT: they are skipped without opening anything. Only
// a process whose exe we may not read (another user's) has its comm opened.
struct Scan {
    int proc_fd;
    char path[32];  // "PID/exe" or "PID/comm"; a PID has at most 10 digits
    char target[4096];

    bool set_path(const char* pid, const char* leaf) {
        const std::size_t pid_len = std::strlen(pid), leaf_len = std::strlen(leaf);
        if (pid_len + 1 + leaf_len + 1 > sizeof path) return false;
        std::memcpy(path, pid, pid_len);
        path[pid_len] = '/';
        std::memcpy(path + pid_len + 1, leaf, leaf_len + 1);
        return true;
    }

    enum class Exe { Named, NoProgram, Hidden };

    // The base name of the program a process runs, NoProgram for a kernel
    // thread, a zombie or a process that has ended, Hidden when we may not look.
    Exe exe_name(const char* pid, std::string_view& name) {
        if (!set_path(pid, "exe")) return Exe::NoProgram;
        const ssize_t n = ::readlinkat(proc_fd, path, target, sizeof target);
        if (n < 0) return errno == ENOENT || errno == ESRCH ? Exe::NoProgram : Exe::Hidden;
        if (n == 0 || n == static_cast<ssize_t>(sizeof target)) return Exe::Hidden;
        std::string_view link(target, static_cast<std::size_t>(n));
        // A program replaced on disk while it runs (an upgrade) is still itself.
        if (link.size() > kDeleted.size() && link.ends_with(kDeleted)) link.remove_suffix(kDeleted.size());
        const auto slash = link.rfind('/');
        name = slash == std::string_view::npos ? link : link.substr(slash + 1);
        return Exe::Named;
    }

    bool comm_name(const char* pid, std::string_view& name) {
        if (!set_path(pid, "comm")) return false;
        const int fd = ::openat(proc_fd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const ssize_t n = ::read(fd, target, 64);
        ::close(fd);
        if (n <= 0) return false;
        std::string_view text(target, static_cast<std::size_t>(n));
        while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        name = text;
        return true;
    }
};

bool matches_view(std::string_view wanted, std::string_view seen, bool seen_is_comm) {
    if (seen_is_comm && seen.size() == kCommLength && wanted.size() > kCommLength)
        return equal_nocase(wanted.substr(0, kCommLength), seen);
    return equal_nocase(wanted, seen);
}

}  // namespace

bool PosixProcessCounter::matches(const std::string& wanted, const std::string& seen, bool seen_is_comm) {
    return matches_view(wanted, seen, seen_is_comm);
}

int PosixProcessCounter::count(const std::string& image_name) {
    if (image_name.empty()) return 0;
    const int fd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw PlatformError("count processes", image_name, std::strerror(errno));
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::fdopendir(fd), &::closedir);
    if (!proc) {
        const int error = errno;
        ::close(fd);
        throw PlatformError("count processes", image_name, std::strerror(error));
    }
    Scan scan{fd, {}, {}};
    int found = 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!all_digits(entry->d_name)) continue;
        std::string_view name;
        // A process that ends while we look is simply not counted.
        switch (scan.exe_name(entry->d_name, name)) {
        case Scan::Exe::Named:
            if (matches_view(image_name, name, false)) ++found;
            break;
        case Scan::Exe::Hidden:
            if (scan.comm_name(entry->d_name, name) && matches_view(image_name, name, true)) ++found;
            break;
        case Scan::Exe::NoProgram:
            break;
        }
    }
    return found;
}

}  // namespace vqd
