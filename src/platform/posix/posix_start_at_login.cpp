#include "platform/posix/posix_start_at_login.h"

#include "model/plain_text.h"
#include "platform/failure.h"
#include "platform/posix/posix_settings_store.h"
#include "platform/posix/whole_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vqd {

namespace {

constexpr std::size_t kEntryReadLimit = 65536;  // far more than any entry holds

// The session's start-up entries live beside the program's own settings folder.
std::string autostart_folder() { return posix_config_folder("autostart"); }

// A value of type string or localestring as the file holds it.
std::string escape_value(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == ' ' && i == 0) out += "\\s";
        else out += c;
    }
    return out;
}

std::string unescape_value(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        switch (v[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\', out += v[i];
        }
    }
    return out;
}

// The keys of the [Desktop Entry] group, as written (values still escaped).
std::vector<std::pair<std::string, std::string>> entry_keys(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> keys;
    bool in_group = false;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            in_group = line == "[Desktop Entry]";
            continue;
        }
        const auto eq = line.find('=');
        if (!in_group || eq == std::string_view::npos) continue;
        auto key = line.substr(0, eq);
        auto value = line.substr(eq + 1);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        keys.emplace_back(std::string(key), std::string(value));
    }
    return keys;
}

// The entry's text when it is a regular file (or a link to one) we can read;
// nothing otherwise. Non-blocking, so a FIFO under the entry's name does not
// hold the caller.
bool read_entry(const std::string& path, std::string& text) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    text.assign(kEntryReadLimit, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    ::close(fd);
    text.resize(got);
    return true;
}

bool same_program(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // Another spelling of our path (a dot, a doubled slash) still starts this
    // configuration when it names the same file under the same name.
    const auto base = [](const std::string& p) { return p.substr(p.find_last_of('/') + 1); };
    struct stat sa {}, sb {};
    return !a.empty() && !b.empty() && base(a) == base(b) && ::stat(a.c_str(), &sa) == 0 &&
           ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string working_folder() {
    std::string buf(4096, '\0');
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

// "/a//b/./c" -> "/a/b/c". ".." stays: over a link it does not mean the folder before it.
std::string without_dots(const std::string& path) {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string_view part(path.data() + start, end - start);
        if (!part.empty() && part != ".") out += "/" + std::string(part);
        start = end + 1;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

PosixStartAtLogin::PosixStartAtLogin(std::string section, std::string program_path)
    : section_(std::move(section)), program_(std::move(program_path)) {}

std::string PosixStartAtLogin::entry_path() const { return autostart_folder() + "/" + section_ + ".desktop"; }

std::string PosixStartAtLogin::exec_value(const std::string& program_path) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string arg;
    const bool quote = program_path.find_first_of(kReserved) != std::string::npos;
    for (char c : program_path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) arg += '\\';
        arg += c;
        if (c == '%') arg += '%';
    }
    return escape_value(quote ? "\"" + arg + "\"" : arg);
}

std::string PosixStartAtLogin::exec_program(const std::string& value) {
    const std::string line = unescape_value(value);
    std::string program;
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i < line.size() && line[i] == '"') {
        for (++i;; ++i) {
            if (i >= line.size()) return {};  // no closing quote
            char c = line[i];
            if (c == '"') {
                ++i;
                break;
            }
            if (c == '\\' && i + 1 < line.size()) c = line[++i];
            else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') ++i;
            program += c;
        }
    } else {
        for (; i < line.size() && line[i] != ' '; ++i) {
            if (line[i] == '%' && i + 1 < line.size() && line[i + 1] == '%') ++i;
            program += line[i];
        }
    }
    // Arguments the user added after the program are theirs to keep.
    if (i < line.size() && line[i] != ' ') return {};
    return program;
}

std::string PosixStartAtLogin::entry_text() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + escape_value(section_) + "\n"
           "Comment=Control panel for the cryptocurrency node\n"
           "Exec=" + exec_value(program_) + "\n"
           "Icon=VQ-DAZ-ER\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool PosixStartAtLogin::enabled() const {
    std::string text;
    if (!read_entry(entry_path(), text)) return false;
    bool runs_us = false;
    for (const auto& [key, value] : entry_keys(text)) {
        if (key == "Hidden" && value == "true") return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
        if (key == "Exec") runs_us = same_program(exec_program(value), program_);
    }
    return runs_us;
}

void PosixStartAtLogin::set_enabled(bool on) {
    const std::string path = entry_path();
    if (!on) {
        // Ours by its name, whatever the user made of it (hidden, or pointed elsewhere).
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throw PlatformError("remove start-up entry", path, std::strerror(errno));
        return;
    }
    // A desktop entry is UTF-8 throughout; a name or path that is not cannot be written as one.
    if (!is_utf8(section_) || !is_utf8(program_))
        throw PlatformError("write start-up entry", path, "the program's name or path is not UTF-8 text");
    if (program_.empty() || program_.front() != '/')
        throw PlatformError("write start-up entry", path, "the program's own path is not known");

    // Create the missing folders, and take them away again when the write fails.
    std::vector<std::string> made;
    const std::string folder = autostart_folder();
    for (std::size_t slash = 1; slash <= folder.size(); ++slash) {
        if (slash != folder.size() && folder[slash] != '/') continue;
        const std::string part = folder.substr(0, slash);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0) continue;
        if (::mkdir(part.c_str(), 0700) == 0) made.push_back(part);
        else if (errno != EEXIST) {
            const int error = errno;
            for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
            throw PlatformError("write start-up entry", path, std::strerror(error));
        }
    }
    try {
        posix::write_file_whole(path, entry_text());
    } catch (const PlatformError&) {
        for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
        throw;
    }
}

std::string started_program_path(const char* argv0) {
    const std::string arg = argv0 ? argv0 : "";
    std::string found;
    if (arg.find('/') != std::string::npos) {
        found = arg.front() == '/' ? arg : working_folder() + "/" + arg;
    } else if (!arg.empty()) {
        // As the shell searched: PATH's folders in order, an empty one being the working folder.
        const char* env = std::getenv("PATH");
        const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
        std::size_t start = 0;
        for (;;) {
            const auto colon = path.find(':', start);
            std::string folder = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
            if (folder.empty() || folder.front() != '/') folder = working_folder() + (folder.empty() ? "" : "/" + folder);
            if (is_executable_file(folder + "/" + arg)) {
                found = folder + "/" + arg;
                break;
            }
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    if (!found.empty() && found.front() == '/') return without_dots(found);
    // Started without a usable argv[0]: the file itself, its links resolved.
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(n > 0 ? std::size_t(n) : 0);
    return self;
}

}  // namespace vqd
