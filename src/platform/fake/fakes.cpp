#include "platform/fake/fakes.h"

#include "model/plain_text.h"

#include <algorithm>

namespace vqd::fake {

std::string Store::get(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& fallback) {
    applications.insert(application);
    reads.push_back(key);
    if (unreadable.count(section)) throw PlatformError("read settings", section, "the store cannot be read");
    auto it = values.find({section, key});
    return it == values.end() ? fallback : it->second;
}

void Store::save(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value) {
    save_all(application, section, {{key, value}});
}

void Store::save_all(const std::string& application, const std::string& section, const Values& values_to_save) {
    applications.insert(application);
    if (fail_saves) throw PlatformError("save settings", section, "the store refused the write");
    for (const auto& [key, value] : values_to_save)
        if (failing_keys.count(key)) throw PlatformError("save settings", section, "the store refused " + key);
    batches.emplace_back();
    for (const auto& [key, value] : values_to_save) {
        writes.push_back(key);
        batches.back().push_back(key);
        values[{section, key}] = value;
    }
}

std::optional<std::string> Store::value(const std::string& section, const std::string& key) const {
    auto it = values.find({section, key});
    if (it == values.end()) return std::nullopt;
    return it->second;
}

void Runner::run(const std::string& command_line, WindowStyle style) {
    if ((fail_empty && command_line.empty()) || failing.count(command_line))
        throw PlatformError("run command", command_line, "the system cannot find the file specified");
    runs.push_back(Run{command_line, style, clock ? clock() : 0});
    if (on_run) on_run(command_line);
}

// ASCII letters folded, whatever the locale; the real counters also fold
// letters beyond ASCII, which no test of the fake needs.
static std::string lower(std::string s) {
    for (char& c : s) c = ascii_lower(c);
    return s;
}

int Processes::count(const std::string& image_name) {
    queries.push_back(image_name);
    if (fail) throw PlatformError("count processes", image_name, "the process list cannot be read");
    int n = 0;
    for (const auto& [name, instances] : running)
        if (lower(name) == lower(image_name)) n += instances;
    return n;
}

void Files::write_line(const std::string& path, const std::string& line) {
    if (path.empty() || unwritable.count(path))
        throw PlatformError("write file", path, "permission denied");
    content[path] = line + eol;
    written.push_back(path);
}

void Files::write_whole(const std::string& path, const std::string& bytes) {
    if (path.empty() || unwritable.count(path))
        throw PlatformError("write file", path, "permission denied");
    content[path] = bytes;
    written.push_back(path);
}

std::string Files::read_whole(const std::string& path) {
    auto it = content.find(path);
    if (it == content.end()) throw PlatformError("read file", path, "no such file");
    if (it->second.size() > 32767) throw PlatformError("read file", path, "longer than 32767 bytes");
    return it->second;
}

bool Files::is_absolute(const std::string& path) const {
    const auto sep = [](char c) { return c == '/' || c == '\\'; };
    if (!path.empty() && path[0] == '/') return true;
    if (path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && sep(path[2]))
        return true;
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

// The path's parts with "." dropped and ".." taking off the part before it;
// either separator counts, and doubled ones count once.
static std::vector<std::string> parts(const std::string& path) {
    std::vector<std::string> out;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') {
            part += path[i];
            continue;
        }
        if (part == "..") {
            if (!out.empty()) out.pop_back();
        } else if (!part.empty() && part != ".") {
            out.push_back(part);
        }
        part.clear();
    }
    return out;
}

bool Files::same_file(const std::string& a, const std::string& b) const {
    if (aliases.count({a, b}) || aliases.count({b, a})) return true;
    return is_absolute(a) == is_absolute(b) && parts(a) == parts(b);
}

}  // namespace vqd::fake
