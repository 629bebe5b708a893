#include "platform/posix/whole_file.h"

#include "platform/failure.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vqd::posix {

namespace {

[[noreturn]] void fail(const std::string& path, int error) {
    throw PlatformError("write file", path, std::strerror(error));
}

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A symbolic link (a settings file kept with the user's other dotfiles, say)
// is written through, to the file it names, rather than replaced by a plain file.
// The links are followed one by one rather than with realpath(), which fails
// when the last one names a file that does not exist yet: that file is the one
// to create. A relative target is taken from the folder of the link naming it.
std::string through_links(const std::string& path) {
    constexpr int kMaxHops = 40;  // as the kernel allows
    std::string current = path;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return current;
        std::string target(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 255) + 1, '\0');
        ssize_t n;
        while ((n = ::readlink(current.c_str(), target.data(), target.size())) >= 0 &&
               static_cast<std::size_t>(n) == target.size())
            target.resize(target.size() * 2);  // the link changed under us; read it again whole
        if (n < 0) fail(path, errno);
        target.resize(static_cast<std::size_t>(n));
        if (target.empty()) fail(path, ENOENT);
        current = target.front() == '/' ? target : folder_of(current) + "/" + target;
    }
    fail(path, ELOOP);
}
}  // namespace

void write_file_whole(const std::string& named, const std::string& bytes) {
    if (named.empty()) fail(named, ENOENT);
    const std::string path = through_links(named);
    // The temporary keeps the target's name so a leftover is recognisable.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        // A link whose target's folder is missing: name both, the link is left as it is.
        if (path != named) throw PlatformError("write file", named, "its link target " + path + ": " + std::strerror(errno));
        fail(path, errno);
    }

    auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        fail(path, error);
    };

    // Keep the old file's permission bits; a new file gets the usual 0666 & ~umask.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) abandon(errno);
        if (n == 0) abandon(EIO);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        fail(path, error);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        fail(path, error);
    }
    // The file is whole under its name; a folder that cannot be synced (some
    // filesystems refuse) does not undo that.
    const int dir = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace vqd::posix
