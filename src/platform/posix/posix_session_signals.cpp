#include "platform/posix/posix_session_signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace vqd {

namespace {

volatile std::sig_atomic_t g_write_fd = -1;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void on_session_signal(int signal_number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal_number);
    // A full pipe already says a signal is waiting; nothing more to say.
    [[maybe_unused]] const auto written = ::write(g_write_fd, &byte, 1);
    errno = saved;
}

}  // namespace

SessionSignals::SessionSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error(std::string("cannot create the signal pipe: ") + std::strerror(errno));
    read_fd_ = fds[0];
    g_write_fd = fds[1];
    struct sigaction action {};
    action.sa_handler = on_session_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) {
        // A signal ignored by whoever started us stays ignored: `nohup` or a
        // shell's background job ask for exactly that.
        struct sigaction before {};
        if (::sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(s, &action, nullptr);
        installed_ |= 1u << s;
    }
}

SessionSignals::~SessionSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals)
        if (installed_ & (1u << s)) ::sigaction(s, &action, nullptr);
    ::close(g_write_fd);
    g_write_fd = -1;
    ::close(read_fd_);
}

int SessionSignals::take() {
    unsigned char buffer[16];
    int last = 0;
    for (;;) {
        const auto n = ::read(read_fd_, buffer, sizeof buffer);
        if (n > 0) {
            last = buffer[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return last;
    }
}

}  // namespace vqd
