#include "platform/posix/posix_text_files.h"

#include "platform/failure.h"
#include "platform/posix/whole_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vqd {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Close now, so a failure of the close itself (a full disk on NFS) is seen.
    int close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

}  // namespace

void PosixTextFiles::write_line(const std::string& path, const std::string& line) {
    // Replaced whole: a batch file cut short by a full disk would still run,
    // and run something else than what was saved.
    posix::write_file_whole(path, line + "\n");
}

void PosixTextFiles::write_whole(const std::string& path, const std::string& bytes) {
    posix::write_file_whole(path, bytes);
}

std::string PosixTextFiles::read_whole(const std::string& path) {
    // Non-blocking, so a FIFO with no writer does not hold the handler forever.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) throw PlatformError("read file", path, std::strerror(errno));
    // Read to the end rather than trusting the size: the client may still be
    // writing, and files under /proc report no size at all. One byte past the
    // limit is enough to know the file is too long.
    std::string content(kReadLimit + 1, '\0');
    std::size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd.get(), content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        if (n < 0) throw PlatformError("read file", path, std::strerror(errno));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > kReadLimit)
        throw PlatformError("read file", path, "longer than 32767 bytes, more than one read can take");
    content.resize(got);
    return content;
}

bool PosixTextFiles::is_absolute(const std::string& path) const { return !path.empty() && path.front() == '/'; }

bool PosixTextFiles::same_file(const std::string& a, const std::string& b) const {
    // Two existing names of one file share device and inode, whatever links
    // or hard links lead to it.
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // A file not there yet: its path with ".", "..", doubled slashes and the
    // links of the folders that do exist resolved, as an open would resolve it.
    std::error_code ea, eb;
    const auto pa = std::filesystem::weakly_canonical(a, ea), pb = std::filesystem::weakly_canonical(b, eb);
    if (ea || eb) return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
    return pa == pb;
}

}  // namespace vqd
