// Replacing a file whole or not at all. Every file the program rewrites on
// Linux (settings, batch files, the external file, metrics) goes through here.
#pragma once

#include <string>

namespace vqd::posix {

// Writes `bytes` to a temporary file beside `path`, checks every write, syncs
// it, closes it and renames it over `path`; the folder is synced afterwards so
// the rename itself survives a power cut. Any failure removes the temporary
// file, leaves `path` as it was and throws PlatformError("write file", path,
// the system's words). A full disk, a read-only filesystem and a file-size
// limit (with SIGXFSZ ignored) all end up here as ordinary errors.
void write_file_whole(const std::string& path, const std::string& bytes);

}  // namespace vqd::posix
