#include "platform/posix/posix_settings_store.h"

#include "platform/failure.h"
#include "platform/posix/ini_text.h"
#include "platform/posix/whole_file.h"

#include <QDir>
#include <QLockFile>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace vqd {

namespace {

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

// The file's bytes; empty when there is no file yet. Throws when a file is
// there but cannot be read to the end (a folder in its place, an I/O error).
std::string read_store(const std::string& operation, const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        throw PlatformError(operation, path, std::strerror(errno));
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw PlatformError(operation, path, std::strerror(error));
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

ini::Parsed parse_store(const std::string& operation, const std::string& path, const std::string& bytes) {
    ini::Parsed parsed = ini::parse(bytes);
    if (!parsed.ok) throw PlatformError(operation, path, "not INI text (" + parsed.error + ")");
    return parsed;
}

std::string lock_failure(QLockFile::LockError error) {
    switch (error) {
    case QLockFile::LockFailedError: return "another copy of the program holds its lock";
    case QLockFile::PermissionError: return "its lock file cannot be created";
    default: return "its lock file cannot be written";
    }
}

// How long a save waits for another copy's save to finish; one save takes
// milliseconds, so this is only reached when something is wrong.
constexpr int kLockWaitMs = 5000;

}  // namespace

std::string posix_config_folder(const std::string& application) {
    // An XDG variable that is empty or relative is to be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = xdg && xdg[0] == '/' ? std::string(xdg) : utf8(QDir::homePath()) + "/.config";
    return base + "/" + application;
}

std::string PosixSettingsStore::file_path(const std::string& application, const std::string& section) {
    return posix_config_folder(application) + "/" + section + ".ini";
}

// Keys are the program's control names: plain words, top-level keys of the
// file's "General" section. Reads take no lock: a save replaces the file by a
// rename, so a reader sees the old file or the new one, never half of one.
std::string PosixSettingsStore::get(const std::string& application, const std::string& section,
                                    const std::string& key, const std::string& fallback) {
    const std::string path = file_path(application, section);
    const ini::Parsed parsed = parse_store("read settings", path, read_store("read settings", path));
    auto it = parsed.keys.find(key);
    return it == parsed.keys.end() ? fallback : it->second;
}

void PosixSettingsStore::save(const std::string& application, const std::string& section, const std::string& key,
                              const std::string& value) {
    save_all(application, section, {{key, value}});
}

void PosixSettingsStore::save_all(const std::string& application, const std::string& section, const Values& values) {
    const std::string path = file_path(application, section);
    if (!QDir().mkpath(q(posix_config_folder(application))))
        throw PlatformError("save settings", path, "its folder cannot be created");
    // The same lock file QSettings takes, so copies of earlier versions wait too.
    QLockFile lock(q(path + ".lock"));
    if (!lock.tryLock(kLockWaitMs)) throw PlatformError("save settings", path, lock_failure(lock.error()));
    const std::string old_bytes = read_store("save settings", path);
    const ini::Parsed parsed = parse_store("save settings", path, old_bytes);
    // parse_store has refused text that is not INI, the one case replace_keys gives nothing for.
    const std::string new_bytes = ini::replace_keys(old_bytes, parsed, values).value();
    if (new_bytes != old_bytes) posix::write_file_whole(path, new_bytes);
}

std::vector<std::string> PosixSettingsStore::read_notes(const std::string& application, const std::string& section) {
    try {
        const std::string path = file_path(application, section);
        const ini::Parsed parsed = ini::parse(read_store("read settings", path));
        std::vector<std::string> notes;
        for (const auto& note : parsed.notes) notes.push_back(path + ", " + note);
        return notes;
    } catch (...) {
        return {};  // an unreadable file is `get`'s to report
    }
}

}  // namespace vqd
