// Every Linux platform service, bundled for one running program.
//
//     vqd::PosixPlatform platform(argv[0]);
//     vqd::MainWindow main(scheduler, platform.services());
//
// The front end may put its own Topmost in place of the no-op one by building
// Services itself from these members.
#pragma once

#include "platform/platform.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_command_runner.h"
#include "platform/posix/posix_error_log.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_process_counter.h"
#include "platform/posix/posix_settings_store.h"
#include "platform/posix/posix_text_files.h"
#include "platform/posix/posix_topmost.h"

#include <string>

namespace vqd {

struct PosixPlatform {
    // invoked_as: argv[0] as the program was started (a symbolic link's own name
    // names the configuration).
    explicit PosixPlatform(const std::string& invoked_as) : executable(invoked_as), errors(executable) {}
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    PosixSettingsStore store;
    PosixExecutableName executable;
    PosixCommandRunner runner;
    PosixProcessCounter processes;
    PosixTextFiles files;
    PosixTopmost topmost;
    PosixErrorLog errors;
    PosixClock clock;

    Services services() {
        return Services{store, executable, runner, processes, files, topmost, errors, kPosixFiles};
    }
};

}  // namespace vqd
