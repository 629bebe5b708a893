// Starting command lines on Linux, without waiting for them.
//
// A line that ends in ".BAT" or ".CMD" (any letter case) is the path of a
// one-line batch file; it runs under /bin/sh with `call` defined as a function
// that runs its arguments, so `call "/dir with blank/cli" -conf=X cmd > LOG`
// works as the command interpreter of the batch files would run it. Such a line
// that names no file fails at once. Any other line is a user command, run by
// `/bin/sh -c LINE`. An empty line fails at once.
//
// The shell itself always starts, so a user command whose program is missing
// would fail unseen. Before starting one, the line's first word is looked up
// as the shell would look it up (a path as it is, a name in PATH, shell words
// and builtins need nothing), and a program that is not there or cannot be
// executed fails at once. A first word that only the shell can know (quoted
// with expansions, an assignment, a subshell) is left to the shell unchecked.
//
// The started process gets /dev/null as standard input, output and error (the
// batch file's own ">" still writes its log), a session of its own, every
// signal at its default and none blocked, and no descriptor of ours. It is
// started through an intermediate child that ends at once, so it is never
// waited for and never left as a zombie, and no SIGCHLD handling is needed
// that could disturb other child-process code. Both children share our memory
// until the exec (as vfork does), so a start copies nothing of this process:
// run() returns within a fraction of a millisecond, where copying the page
// tables of a GUI program twice held its event loop for several.
//
// The window style has nothing to map to without a terminal: a "normal" window
// starts the command exactly like a hidden one.
#pragma once

#include "platform/command_runner.h"

#include <string>

namespace vqd {

class PosixCommandRunner final : public CommandRunner {
public:
    // Throws PlatformError for an empty line, a batch path that names no file,
    // a user command whose program is missing or not executable, or when
    // /bin/sh cannot be started.
    void run(const std::string& command_line, WindowStyle style) override;

    static bool names_batch_file(const std::string& command_line);
};

}  // namespace vqd
