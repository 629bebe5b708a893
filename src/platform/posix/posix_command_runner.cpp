#include "platform/posix/posix_command_runner.h"

#include "platform/failure.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/close_range.h>
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

void write_errno(int fd, int error) {
    // Nothing more can be done in a child when this fails.
    [[maybe_unused]] auto n = ::write(fd, &error, sizeof error);
}

// Runs in the grandchild, between fork and exec: async-signal-safe calls only.
[[noreturn]] void exec_detached(char* const argv[], int error_pipe) {
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &dfl, nullptr);

    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
        if (null_fd > 2) ::close(null_fd);
    }
    // Descriptors we hold (sockets, files, pipes of a test runner) must not
    // live on in the started program; the error pipe closes with the exec.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);

    ::execve(kShell, argv, environ);
    write_errno(error_pipe, errno);
    ::_exit(127);
}

void start_detached(const std::string& command_line, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw PlatformError("run command", command_line, std::strerror(errno));

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        throw PlatformError("run command", command_line, std::strerror(error));
    }
    if (middle == 0) {
        const pid_t child = ::fork();
        if (child == 0) exec_detached(argv.data(), pipe_fds[1]);
        if (child < 0) write_errno(pipe_fds[1], errno);
        ::_exit(child < 0 ? 1 : 0);
    }

    ::close(pipe_fds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file here means the grandchild reached its program (the pipe closed
    // on exec); four bytes are the errno of a failed fork or exec.
    int error = 0;
    ssize_t got;
    while ((got = ::read(pipe_fds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(pipe_fds[0]);
    if (got == static_cast<ssize_t>(sizeof error))
        throw PlatformError("run command", command_line, std::strerror(error));
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
