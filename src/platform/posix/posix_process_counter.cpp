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
#include <unordered_map>
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

// What a /proc/PID/stat says about a process.
enum class Runs { Program, Nothing, Gone };

// The tick runs once a second for weeks, over every process on the machine,
// and on a virtual machine every system call into /proc costs microseconds:
// files are opened relative to the open /proc folder, into buffers on the
// stack, with no path built on the heap.
struct Scan {
    int proc_fd;
    char path[32];  // "PID/cmdline"; a PID has at most 10 digits
    char buffer[kArgumentsToLookAt * 4096 + 8];  // exe's target, stat, comm, the first arguments

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
    ssize_t read(const char* pid, const char* leaf, std::size_t size, bool whole = false) {
        if (!set_path(pid, leaf)) return -1;
        const int fd = ::openat(proc_fd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        std::size_t have = 0;
        while (have < size && (whole || have == 0)) {
            const ssize_t n = ::read(fd, buffer + have, size - have);
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

    // The name the process was started as; false when it has ended.
    bool comm(const char* pid, std::string& into) {
        const ssize_t n = read(pid, "comm", 64);
        if (n <= 0) return false;
        std::string_view name(buffer, static_cast<std::size_t>(n));
        if (name.back() == '\n') name.remove_suffix(1);
        into.assign(name);
        return true;
    }

    // The target of /proc/PID/exe, or the reason there is none: a kernel
    // thread, a zombie or a process that has ended has none (ENOENT), and
    // another user's process is not ours to look at (EACCES).
    int exe(const char* pid, std::string& into) {
        if (!set_path(pid, "exe")) return ENAMETOOLONG;
        const ssize_t n = ::readlinkat(proc_fd, path, buffer, sizeof buffer);
        if (n < 0) return errno;
        if (n == 0 || n == static_cast<ssize_t>(sizeof buffer)) return ENAMETOOLONG;
        into.assign(buffer, static_cast<std::size_t>(n));
        return 0;
    }

    // Whether it is a kernel thread or a zombie, from /proc/PID/stat:
    // "PID (comm) STATE PPID PGRP SESSION TTY TPGID FLAGS ...". A comm may hold
    // ") ", so the fields start after the last ')'.
    Runs runs(const char* pid) {
        const ssize_t n = read(pid, "stat", 1024);
        if (n <= 0) return Runs::Gone;
        const std::string_view stat(buffer, static_cast<std::size_t>(n));
        const auto close = stat.rfind(')');
        if (close == std::string_view::npos || close + 3 > stat.size()) return Runs::Gone;
        const char state = stat[close + 2];
        if (state == 'Z' || state == 'X' || state == 'x') return Runs::Nothing;
        std::size_t at = close + 3;
        for (int field = 0; field < 6; ++field) {  // to the space before FLAGS
            at = stat.find(' ', at);
            if (at == std::string_view::npos) return Runs::Gone;
            ++at;
        }
        unsigned long flags = 0;
        if (std::from_chars(stat.data() + at, stat.data() + stat.size(), flags).ec != std::errc()) return Runs::Gone;
        return (flags & kKernelThread) ? Runs::Nothing : Runs::Program;
    }

    // Whether the process was started under the wanted name, by the file names
    // at the head of its command line: the program's own, or for a `#!` script
    // the script's, which follows the interpreter (and one interpreter option).
    bool started_as(const char* pid, const Wanted& wanted) {
        const ssize_t n = read(pid, "cmdline", sizeof buffer, true);
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

// The file name of a program from exe's target. A program replaced on disk
// while it runs (an upgrade) is still itself.
std::string_view program_name(std::string_view target) {
    if (target.size() > kDeleted.size() && target.ends_with(kDeleted)) target.remove_suffix(kDeleted.size());
    return base_name(target);
}

// comm is the program's own file name (its first 15 bytes): no link, no
// script, no rename.
bool named_after_program(std::string_view comm, std::string_view target) {
    const auto program = program_name(target);
    return comm.size() == kCommLength ? program.starts_with(comm) : program == comm;
}

}  // namespace

// What the last ticks found for each listed process, while it stays listed.
// A process is known by its PID and the inode number /proc lists it with: a
// new process under a reused PID gets a new inode (the old one went with the
// process that ended), so it is never taken for the one before it, and the
// number costs nothing, where the start time in stat would cost a read.
//
// A process is looked at whole (its exe target, its comm) the first two
// times a tick lists it (past a fork's short wait for its exec), whenever its
// comm changed, and otherwise once in kRecheckTicks ticks, spread over the
// PIDs; in between, a process whose comm is not its program's file name
// (a script, a program started through a link, `sh` running dash, another
// user's process whose program we may not see) has its comm read at every
// tick, since that is where a name changes by itself. A process that runs its
// own program under its own name changes only by running another program or
// renaming itself: a tick that lists it costs nothing, and such a change is
// seen within kRecheckTicks ticks (at once for what may count: it is looked at
// whole at every tick). Kernel threads and zombies stay what they
// are: once seen, they cost nothing while their PID stays listed. Whatever
// may count (rare) is checked at every tick for having become a zombie.
struct PosixProcessCounter::Memory {
    static constexpr unsigned kRecheckTicks = 16;

    struct Known {
        ino_t inode = 0;
        unsigned tick = 0;       // the last tick that listed it
        unsigned looks = 0;      // whole looks since it was first seen or last changed
        bool runs_nothing = false;  // kernel thread or zombie
        int exe_error = 0;       // 0: `exe` holds the target
        std::string exe;
        std::string comm;
    };

    std::unique_ptr<DIR, int (*)(DIR*)> proc{nullptr, &::closedir};
    std::unordered_map<unsigned long, Known> known;
    unsigned tick = 0;
};

PosixProcessCounter::PosixProcessCounter() : memory_(std::make_unique<Memory>()) {}
PosixProcessCounter::~PosixProcessCounter() = default;

bool PosixProcessCounter::matches(const std::string& wanted, const std::string& seen, bool seen_is_comm) {
    const Wanted name(wanted);
    return seen_is_comm && seen.size() == kCommLength ? name.may_begin_with(seen) : name.equals(seen);
}

bool PosixProcessCounter::same_name(const std::string& a, const std::string& b) { return Wanted(a).equals(b); }

int PosixProcessCounter::count(const std::string& image_name) {
    if (image_name.empty()) return 0;
    Memory& memory = *memory_;
    // /proc stays open from tick to tick: each lists it again from the start.
    if (memory.proc) {
        ::rewinddir(memory.proc.get());
    } else {
        const int fd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw PlatformError("count processes", image_name, std::strerror(errno));
        memory.proc.reset(::fdopendir(fd));
        if (!memory.proc) {
            const int error = errno;
            ::close(fd);
            throw PlatformError("count processes", image_name, std::strerror(error));
        }
    }
    const Wanted wanted(image_name);
    Scan scan{::dirfd(memory.proc.get()), {}, {}};
    const unsigned tick = ++memory.tick;
    int found = 0;
    while (const dirent* entry = ::readdir(memory.proc.get())) {
        const char* pid = entry->d_name;
        if (!all_digits(pid)) continue;
        unsigned long number = 0;
        std::from_chars(pid, pid + std::strlen(pid), number);
        Memory::Known& p = memory.known[number];
        const bool fresh = p.tick == 0 || p.inode != entry->d_ino || entry->d_ino == 0;
        if (fresh) p = Memory::Known{entry->d_ino};
        p.tick = tick;
        if (p.runs_nothing) continue;

        // A process seen for the first or second time, or whose turn it is
        // (once in kRecheckTicks ticks, spread over the PIDs), is looked at
        // whole; otherwise only where its comm may change by itself.
        auto by_comm = [&] {
            return p.comm.size() == kCommLength ? wanted.may_begin_with(p.comm) : wanted.equals(p.comm);
        };
        auto by_program = [&] { return p.exe_error == 0 && wanted.equals(program_name(p.exe)); };
        // What counted (or may) is looked at whole at every tick: it may have
        // run another program since.
        bool look_exe =
            fresh || p.looks < 2 || (number + tick) % Memory::kRecheckTicks == 0 || by_comm() || by_program();
        bool comm_read = false;
        if (!look_exe && (p.exe_error != 0 || !named_after_program(p.comm, p.exe))) {
            const std::string before = p.comm;
            if (!scan.comm(pid, p.comm)) continue;  // ended while we looked
            comm_read = true;
            if (p.comm != before) look_exe = true, p.looks = 0;
        }
        if (look_exe) {
            std::string target;
            const int error = scan.exe(pid, target);
            if (error == ENOENT || (error == EACCES && fresh)) {
                // A kernel thread or a zombie, another user's process, or gone.
                const Runs runs = scan.runs(pid);
                if (runs == Runs::Nothing) p.runs_nothing = true;
                if (runs != Runs::Program) continue;
            }
            if (error != p.exe_error || target != p.exe) {
                p.exe_error = error;
                p.exe = std::move(target);
                p.looks = 0;
            }
            if (!comm_read && !scan.comm(pid, p.comm)) continue;
            ++p.looks;
        }

        const bool named = by_comm(), runs_it = by_program();
        if (!named && !runs_it) continue;
        // Only a name that may be the client's pays for this: a process that
        // counted becomes a zombie when it ends.
        const Runs runs = scan.runs(pid);
        if (runs == Runs::Nothing) p.runs_nothing = true;
        if (runs != Runs::Program) continue;
        if (runs_it || p.comm.size() != kCommLength || scan.started_as(pid, wanted)) ++found;
    }
    std::erase_if(memory.known, [&](const auto& entry) { return entry.second.tick != tick; });
    return found;
}

}  // namespace vqd
