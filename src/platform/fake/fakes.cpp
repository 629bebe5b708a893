#include "platform/fake/fakes.h"

#include <algorithm>
#include <cctype>

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

static std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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

}  // namespace vqd::fake
