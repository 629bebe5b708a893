// Starting command lines with CreateProcessW, never waiting for them.
//
// A line naming a batch file (".BAT" or ".CMD", any case, quoted or not) runs
// through the command interpreter: "%SystemRoot%\system32\cmd.exe" /s /c ""FILE"".
// The /s form keeps the quotes around the path whatever it contains (blanks,
// parentheses, ampersands). Any other line goes to CreateProcessW as it is,
// which finds the program the way the platform's own "run" does.
//
// Style 0 starts the process hidden: SW_HIDE, and CREATE_NO_WINDOW so that a
// console program (the interpreter, the node's client) gets no console window
// either. Style 1 shows it normally and lets it take the focus. The process
// and thread handles are closed at once.
//
// CreateProcessW returns only once the new process has been set up, which
// takes tens of milliseconds under load (and under Wine on every call). So it
// runs on a thread of its own, started for this one call, and the caller
// waits for that thread to end in the clock's wait: the windows paint and
// take input meanwhile, the input is only queued for the scheduler, and the
// handler that asked goes on, or fails with the start's own error, once the
// process is started. run() never returns before the thread has ended, so a
// start never outlives the call, nor the program. Without a clock the caller
// blocks as before (programs and tests with no windows).
#pragma once

#include "platform/command_runner.h"
#include "platform/win32/win32_clock.h"

#include <string>

namespace vqd {

class Win32CommandRunner final : public CommandRunner {
public:
    explicit Win32CommandRunner(Win32Clock* clock = nullptr) : clock_(clock) {}

    void run(const std::string& command_line, WindowStyle style) override;

    // The batch file a line names, or "" when it names none. Exposed for tests.
    static std::string batch_file(const std::string& command_line);
    // The interpreter's command line for a batch file.
    static std::wstring interpreter_line(const std::wstring& interpreter, const std::wstring& batch_file);

private:
    Win32Clock* clock_;
};

}  // namespace vqd
