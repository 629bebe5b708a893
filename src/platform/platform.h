// The services one running program uses, gathered so windows can be built
// against real ones or fakes alike.
#pragma once

#include "platform/command_runner.h"
#include "platform/error_log.h"
#include "platform/executable_name.h"
#include "platform/process_counter.h"
#include "platform/settings_store.h"
#include "platform/text_files.h"
#include "platform/topmost.h"

#include <string_view>

namespace vqd {

// What differs in the batch files between platforms.
struct FileConventions {
    std::string_view separator;  // between a folder and a file name in generated lines and paths
};

inline constexpr FileConventions kWindowsFiles{"\\"};
inline constexpr FileConventions kPosixFiles{"/"};

struct Services {
    SettingsStore& store;
    ExecutableName& executable;
    CommandRunner& runner;
    ProcessCounter& processes;
    TextFiles& files;
    Topmost& topmost;
    ErrorLog& errors;
    FileConventions conventions;
};

}  // namespace vqd
