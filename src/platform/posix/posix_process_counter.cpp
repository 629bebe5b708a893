#include "platform/posix/posix_process_counter.h"

#include "model/plain_text.h"
#include "platform/failure.h"

#include <QChar>
#include <QString>
#include <QStringDecoder>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace vqd {

namespace {

constexpr std::size_t kCommLength = 15;  // TASK_COMM_LEN less its terminating zero
constexpr std::string_view kDeleted = " (deleted)";
constexpr unsigned long kKernelThread = 0x00200000;  // PF_KTHREAD in /proc/PID/stat's flags
constexpr int kArgumentsToLookAt = 3;  // a `#!` script's own path comes after the interpreter and one option

// --- Names compared as Windows compares image names ---

bool is_ascii(std::string_view s) {
    for (const unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool ascii_equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
    return true;
}

// How many UTF-16 units a UTF-8 text decodes to (exact for valid UTF-8, which
// is all a quick rejection needs).
std::size_t utf16_units(std::string_view s) {
    std::size_t n = 0;
    for (const unsigned char c : s) n += ((c & 0xC0) != 0x80) + (c >= 0xF0);
    return n;
}

// False for bytes that are not UTF-8. With `cut`, an incomplete sequence at the
// end (comm cuts names at 15 bytes, not at characters) is dropped, not an error.
bool decode(std::string_view bytes, QString& text, bool cut) {
    // A name is its bytes, a leading byte order mark included.
    QStringConverter::Flags flags = QStringConverter::Flag::ConvertInitialBom;
    if (!cut) flags |= QStringConverter::Flag::Stateless;
    QStringDecoder decoder(QStringConverter::Utf8, flags);
    text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

// Windows's ignore-case ordinal rule: each UTF-16 unit to its simple
// uppercase, surrogates left as they are, no locale, no multi-character
// mappings. Its table holds only the pairs that map both ways: final sigma,
// dotless i, long s, micro sign and the title-case letters stay themselves
// (they would fold onto another letter's lowercase, or onto ASCII).
char16_t windows_upper(char16_t c) {
    const char32_t upper = QChar::toUpper(char32_t{c});
    return QChar::toLower(upper) == c ? static_cast<char16_t>(upper) : c;
}

bool upper_equal(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (windows_upper(a[i].unicode()) != windows_upper(b[i].unicode())) return false;
    return true;
}

// The image name asked for, prepared once per count. ASCII names (nearly all)
// compare byte by byte and allocate nothing; only two names that both have
// other characters go through UTF-16. A name that is not UTF-8 at all (Linux
// allows any bytes) is compared as bytes, ASCII letters folded.
class Wanted {
public:
    explicit Wanted(std::string_view name) : bytes_(name), ascii_(is_ascii(name)) {
        if (!ascii_) utf8_ = decode(name, text_, false);
    }

    bool equals(std::string_view seen) const {
        // No letter beyond ASCII has an ASCII letter for its case partner.
        if (ascii_ != is_ascii(seen)) return false;
        if (ascii_ || !utf8_) return ascii_equal_nocase(bytes_, seen);
        if (utf16_units(seen) != static_cast<std::size_t>(text().size())) return false;
        QString other;
        return decode(seen, other, false) && upper_equal(text(), other);
    }

    // Whether a 15-byte comm may be the beginning of this name.
    bool may_begin_with(std::string_view comm) const {
        if ((ascii_ && is_ascii(comm)) || !utf8_)
            return bytes_.size() >= comm.size() && ascii_equal_nocase(bytes_.substr(0, comm.size()), comm);
        QString head;
        return decode(comm, head, true) && head.size() <= text().size() &&
               upper_equal(QStringView(text()).first(head.size()), head);
    }

private:
    const QString& text() const {
        if (ascii_ && text_.isEmpty()) text_ = QString::fromLatin1(bytes_.data(), static_cast<qsizetype>(bytes_.size()));
        return text_;
    }

    std::string_view bytes_;
    bool ascii_;
    bool utf8_ = true;
    mutable QString text_;
};

std::string_view base_name(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool all_digits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// The tick runs once a second for weeks, over every process on the machine,
// and on a virtual machine every system call into /proc costs microseconds:
// files are opened relative to the open /proc folder, into buffers on the
// stack, with no path built on the heap. Every process costs its comm and,
// unless that already names the client, one readlinkat of its exe. Only a comm
// that names the client (rare) pays for the stat that tells a kernel thread or
// a zombie from a program, and, for a name comm holds cut, for the command line.
struct Scan {
    int proc_fd;
    char path[32];  // "PID/cmdline"; a PID has at most 10 digits
    char comm[64];
    char buffer[kArgumentsToLookAt * 4096 + 8];  // exe's target, stat, the first arguments

    bool set_path(const char* pid, const char* leaf) {
        const std::size_t pid_len = std::strlen(pid), leaf_len = std::strlen(leaf);
        if (pid_len + 1 + leaf_len + 1 > sizeof path) return false;
        std::memcpy(path, pid, pid_len);
        path[pid_len] = '/';
        std::memcpy(path + pid_len + 1, leaf, leaf_len + 1);
        return true;
    }

    // Up to `size` bytes of /proc/PID/leaf; -1 when it cannot be read (the
    // process ended, or we may not look). comm and stat come whole from one
    // read; the command line may take several (`whole`).
    ssize_t read(const char* pid, const char* leaf, char* into, std::size_t size, bool whole = false) {
        if (!set_path(pid, leaf)) return -1;
        const int fd = ::openat(proc_fd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        std::size_t have = 0;
        while (have < size && (whole || have == 0)) {
            const ssize_t n = ::read(fd, into + have, size - have);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ::close(fd);
                return -1;
            }
            if (n == 0) break;
            have += static_cast<std::size_t>(n);
        }
        ::close(fd);
        return static_cast<ssize_t>(have);
    }

    bool counts(const char* pid, const Wanted& wanted) {
        const ssize_t n = read(pid, "comm", comm, sizeof comm);
        if (n <= 0) return false;  // ended while we looked
        std::string_view name(comm, static_cast<std::size_t>(n));
        if (name.back() == '\n') name.remove_suffix(1);
        const bool cut = name.size() == kCommLength;
        if (cut ? wanted.may_begin_with(name) : wanted.equals(name)) {
            if (!runs_a_program(pid)) return false;
            return !cut || exe_is(pid, wanted) || started_as(pid, wanted);
        }
        return exe_is(pid, wanted);
    }

    // Not a kernel thread and not a zombie, from /proc/PID/stat:
    // "PID (comm) STATE PPID PGRP SESSION TTY TPGID FLAGS ...". A comm may hold
    // ") ", so the fields start after the last ')'.
    bool runs_a_program(const char* pid) {
        const ssize_t n = read(pid, "stat", buffer, 1024);
        if (n <= 0) return false;
        const std::string_view stat(buffer, static_cast<std::size_t>(n));
        const auto close = stat.rfind(')');
        if (close == std::string_view::npos || close + 3 > stat.size()) return false;
        const char state = stat[close + 2];
        if (state == 'Z' || state == 'X' || state == 'x') return false;
        std::size_t at = close + 3;
        for (int field = 0; field < 6; ++field) {  // to the space before FLAGS
            at = stat.find(' ', at);
            if (at == std::string_view::npos) return false;
            ++at;
        }
        unsigned long flags = 0;
        if (std::from_chars(stat.data() + at, stat.data() + stat.size(), flags).ec != std::errc()) return false;
        return (flags & kKernelThread) == 0;
    }

    // Whether the program the process runs has the wanted file name. A kernel
    // thread, a zombie or a process that has ended has none (ENOENT), and
    // another user's process is not ours to look at (EACCES): neither counts.
    bool exe_is(const char* pid, const Wanted& wanted) {
        if (!set_path(pid, "exe")) return false;
        const ssize_t n = ::readlinkat(proc_fd, path, buffer, sizeof buffer);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof buffer)) return false;
        std::string_view link(buffer, static_cast<std::size_t>(n));
        // A program replaced on disk while it runs (an upgrade) is still itself.
        if (link.size() > kDeleted.size() && link.ends_with(kDeleted)) link.remove_suffix(kDeleted.size());
        return wanted.equals(base_name(link));
    }

    // Whether the process was started under the wanted name, by the file names
    // at the head of its command line: the program's own, or for a `#!` script
    // the script's, which follows the interpreter (and one interpreter option).
    bool started_as(const char* pid, const Wanted& wanted) {
        const ssize_t n = read(pid, "cmdline", buffer, sizeof buffer, true);
        if (n <= 0) return false;
        std::string_view rest(buffer, static_cast<std::size_t>(n));
        for (int i = 0; i < kArgumentsToLookAt; ++i) {
            const auto end = rest.find('\0');
            if (end == std::string_view::npos) return false;  // cut by our buffer, or rewritten by the process
            if (wanted.equals(base_name(rest.substr(0, end)))) return true;
            rest.remove_prefix(end + 1);
        }
        return false;
    }
};

}  // namespace

bool PosixProcessCounter::matches(const std::string& wanted, const std::string& seen, bool seen_is_comm) {
    const Wanted name(wanted);
    return seen_is_comm && seen.size() == kCommLength ? name.may_begin_with(seen) : name.equals(seen);
}

bool PosixProcessCounter::same_name(const std::string& a, const std::string& b) { return Wanted(a).equals(b); }

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
    const Wanted wanted(image_name);
    Scan scan{fd, {}, {}, {}};
    int found = 0;
    while (const dirent* entry = ::readdir(proc.get()))
        if (all_digits(entry->d_name) && scan.counts(entry->d_name, wanted)) ++found;
    return found;
}

}  // namespace vqd
