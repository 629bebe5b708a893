#include "platform/posix/posix_command_runner.h"

#include "platform/failure.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
#include <optional>
#include <pthread.h>
#include <sched.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vqd {

namespace {

constexpr const char* kShell = "/bin/sh";
// "$1" is the batch file; sourcing it lets its redirections and quoting work
// as written, and `call` simply runs the program it names.
constexpr const char* kBatchScript = "call() { \"$@\"; }; . \"$1\"";

// What the two children need. They share our memory, so they hand back the
// outcome in `error`.
struct SpawnJob {
    char* const* argv;
    char* program_stack;  // the top of the program's stack until its exec
    int error = 0;
};

// Runs in the program's own process between its start and the exec, on our
// memory while the intermediate child waits (as after vfork): it may change
// only what is its own (signal dispositions, descriptors, session). This is
// what posix_spawn does, but Debian 12's posix_spawn leaves the C library's
// two internal real-time signals ignored in the program it starts.
int exec_program(void* arg) {
    auto* job = static_cast<SpawnJob*>(arg);
    ::setsid();
    // Every disposition back to the default: an ignored signal (we ignore
    // SIGXFSZ) would stay ignored in the program, and no handler of ours may
    // run here. Only then is the mask, which blocked everything, cleared.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
        if (null_fd > 2) ::close(null_fd);
    }
    // Descriptors we hold (sockets, files, pipes of a test runner) must not
    // live on in the started program.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(kShell, job->argv, environ);
    job->error = errno;
    ::_exit(127);
}

// The intermediate child: it starts the program and ends at once, so the
// program is no child of ours; nobody has to wait for it and it never lingers
// as a zombie. Both children share our memory, so nothing of it is copied.
int start_and_leave(void* arg) {
    auto* job = static_cast<SpawnJob*>(arg);
    if (::clone(exec_program, job->program_stack, CLONE_VM | CLONE_VFORK | SIGCHLD, job) < 0) job->error = errno;
    ::_exit(0);
}

void start_detached(const std::string& command_line, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // One mapping holds the two children's stacks: the intermediate child's
    // at the top, the program's (until its exec) in the lower half.
    constexpr std::size_t kStackSize = 128 * 1024;
    char* stacks = static_cast<char*>(
        ::mmap(nullptr, 2 * kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0));
    if (stacks == MAP_FAILED) throw PlatformError("run command", command_line, std::strerror(errno));
    SpawnJob job{argv.data(), stacks + kStackSize};

    // The children start with every signal blocked, so that no handler of
    // ours runs in them; this thread waits (CLONE_VFORK) until the
    // intermediate child has ended, which it does once the program has
    // reached its exec or failed to.
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t middle = ::clone(start_and_leave, stacks + 2 * kStackSize, CLONE_VM | CLONE_VFORK | SIGCHLD, &job);
    const int clone_error = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (middle > 0) {
        int status = 0;
        while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ::munmap(stacks, 2 * kStackSize);
    if (middle < 0) throw PlatformError("run command", command_line, std::strerror(clone_error));
    if (job.error != 0) throw PlatformError("run command", command_line, std::strerror(job.error));
}

// Words the shell runs itself: reserved words and the builtins of a POSIX sh
// (dash's among them). Such a first word has no program to look for.
constexpr std::string_view kShellWords[] = {
    "!",     "{",      "}",     "case",   "do",     "done",  "elif",    "else",     "esac",  "fi",     "for",
    "if",    "in",     "then",  "until",  "while",  ".",     ":",       "[",        "alias", "bg",     "break",
    "cd",    "chdir",  "command", "continue", "echo", "eval", "exec",   "exit",     "export", "false", "fc",
    "fg",    "getopts", "hash", "jobs",   "kill",   "local", "printf",  "pwd",      "read",  "readonly", "return",
    "set",   "shift",  "test",  "times",  "trap",   "true",  "type",    "ulimit",   "umask", "unalias", "unset",
    "wait",
};

// The program a shell line starts with, when that can be known without
// expanding anything: a plain word, or one quoted without '$', '`' or '\'.
// Anything else (an assignment, a redirection first, a subshell, an
// expansion) gives nothing, and the line is left to the shell unchecked.
std::optional<std::string> first_program(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::string word;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == ';' || c == '&' || c == '|') break;
        if (c == '\'' || c == '"') {
            const auto close = line.find(c, i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            const std::string_view quoted = line.substr(i + 1, close - i - 1);
            if (c == '"' && quoted.find_first_of("$`\\") != std::string_view::npos) return std::nullopt;
            word += quoted;
            i = close;
            continue;
        }
        if (std::string_view("$`\\<>()*?[]~#={}").find(c) != std::string_view::npos) return std::nullopt;
        word += c;
    }
    if (word.empty()) return std::nullopt;
    for (auto w : kShellWords)
        if (word == w) return std::nullopt;
    return word;
}

bool is_executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Why the shell would not find `program` to start, or nothing when it would.
std::optional<std::string> cannot_start(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        if (::access(program.c_str(), F_OK) != 0) return "no such program: " + program;
        if (!is_executable_file(program)) return "not an executable program: " + program;
        return std::nullopt;
    }
    // As the shell searches: PATH's folders in order (an empty one is the
    // working folder), and the shell's own default when PATH is unset.
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    bool seen = false;
    std::size_t start = 0;
    for (;;) {
        const auto colon = path.find(':', start);
        std::string folder = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (is_executable_file(candidate)) return std::nullopt;
        seen = seen || ::access(candidate.c_str(), F_OK) == 0;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return seen ? "not an executable program: " + program : "no such program in PATH: " + program;
}

}  // namespace

bool PosixCommandRunner::names_batch_file(const std::string& command_line) {
    return is_batch_file_path(command_line);
}

void PosixCommandRunner::run(const std::string& command_line, WindowStyle /*style: no terminal to show*/) {
    if (command_line.empty()) throw PlatformError("run command", command_line, "the command line is empty");
    if (!names_batch_file(command_line)) {
        // The shell would start and then fail unseen: a program it cannot find
        // is reported here, before anything starts.
        if (auto program = first_program(command_line))
            if (auto reason = cannot_start(*program)) throw PlatformError("run command", command_line, *reason);
        start_detached(command_line, {"sh", "-c", command_line});
        return;
    }
    struct stat info {};
    if (::stat(command_line.c_str(), &info) != 0)
        throw PlatformError("run command", command_line, std::strerror(errno));
    if (!S_ISREG(info.st_mode)) throw PlatformError("run command", command_line, "not a batch file");
    // `.` looks a name without a slash up in PATH; the line means the file here.
    const std::string file = command_line.find('/') == std::string::npos ? "./" + command_line : command_line;
    start_detached(command_line, {"sh", "-c", kBatchScript, "sh", file});
}

}  // namespace vqd
