// Every Windows platform service, bundled for one running program.
//
//     vqd::Win32Platform platform;
//     vqd::MainWindow main(scheduler, platform.services());
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_command_runner.h"
#include "platform/win32/win32_error_log.h"
#include "platform/win32/win32_executable_name.h"
#include "platform/win32/win32_process_counter.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_topmost.h"

namespace vqd {

struct Win32Platform {
    // The runner starts processes off the UI thread and waits in the clock's wait.
    Win32Platform() : runner(&clock), errors(executable) {}
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    Win32SettingsStore store;
    Win32ExecutableName executable;
    Win32CommandRunner runner;
    Win32ProcessCounter processes;
    Win32TextFiles files;
    Win32Topmost topmost;
    Win32ErrorLog errors;
    Win32Clock clock;

    Services services() {
        return Services{store, executable, runner, processes, files, topmost, errors, kWindowsFiles};
    }
};

}  // namespace vqd
