#include "platform/posix/posix_command_runner.h"

#include "platform/failure.h"

#include <algorithm>
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

}  // namespace

bool PosixCommandRunner::names_batch_file(const std::string& command_line) {
    return is_batch_file_path(command_line);
}

void PosixCommandRunner::run(const std::string& command_line, WindowStyle /*style: no terminal to show*/) {
    if (command_line.empty()) throw PlatformError("run command", command_line, "the command line is empty");
    if (!names_batch_file(command_line)) {
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
