// The signals that end a session on Linux (SIGTERM from a shutdown or `kill`,
// SIGINT from Ctrl+C in a terminal, SIGHUP when the terminal goes away),
// turned into something an event loop can watch: a pipe that becomes readable
// when one arrives. The signal handler only writes one byte to the pipe, which
// is all that is safe inside a signal handler; the program then closes its
// main window the normal way, on its own thread, when its turn comes.
// A signal the program was started with ignored (nohup) stays ignored.
#pragma once

namespace vqd {

class SessionSignals {
public:
    // Installs the handlers. One instance per process.
    SessionSignals();
    ~SessionSignals();
    SessionSignals(const SessionSignals&) = delete;
    SessionSignals& operator=(const SessionSignals&) = delete;

    // Readable when a signal arrived; watch it for reading.
    int fd() const { return read_fd_; }
    // Reads what arrived; the last signal's number, or 0 when none was waiting.
    int take();

private:
    int read_fd_ = -1;
    unsigned installed_ = 0;  // bit per signal number we handle
};

}  // namespace vqd
