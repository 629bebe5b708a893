// A settings file edited by hand, as a person at an editor edits it: one
// character typed or deleted in one line (a quote, a backslash, a BOM, a CR,
// a NUL, a blank, a line break). Whatever the edit, either every key outside
// the edited line reads as before, or the reader names an edited line and a
// save is refused. Then a save of the edited text keeps every key it does not
// write, and reads back what it wrote.
//
// An input is a settings file, optionally followed by a NUL and four bytes
// choosing the edit. The corpus holds plain settings files; the mutator below
// chooses edits for them (and now and then mutates the file itself: any file
// the reader takes cleanly serves as a starting point).
#include "platform/posix/ini_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

using vqd::ini::Parsed;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kEditSize = 4;

[[noreturn]] void broken(const char* what, std::string_view text) {
    std::fprintf(stderr, "broken: %s\n--- text (%zu bytes) ---\n", what, text.size());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fprintf(stderr, "\n--- end ---\n");
    std::abort();
}
#define CHECK(cond, text)                 \
    do {                                  \
        if (!(cond)) broken(#cond, text); \
    } while (0)

struct Line {
    std::size_t begin, end;  // its bytes, without the line end
};

// The lines as the reader splits them ("\n", "\r\n" or a lone "\r"), plus the
// empty last line after a final line end, where an editor's cursor can go too.
std::vector<Line> lines_of(std::string_view t) {
    std::vector<Line> out;
    std::size_t pos = 0;
    while (pos < t.size()) {
        std::size_t eol = pos;
        while (eol < t.size() && t[eol] != '\n' && t[eol] != '\r') ++eol;
        out.push_back({pos, eol});
        pos = eol;
        if (pos < t.size()) pos += t[pos] == '\r' && pos + 1 < t.size() && t[pos + 1] == '\n' ? 2 : 1;
    }
    if (out.empty() || out.back().end < t.size()) out.push_back({t.size(), t.size()});
    return out;
}

// The 1-based line of the byte at `at`, counted as the reader counts.
int line_at(std::string_view t, std::size_t at) {
    int n = 1;
    for (std::size_t i = 0; i < at && i < t.size(); ++i)
        if (t[i] == '\n' || (t[i] == '\r' && !(i + 1 < t.size() && t[i + 1] == '\n'))) ++n;
    return n;
}

// The number after "line " in a note ("line N: ...") or an error ("... on line N").
int named_line(const std::string& text) {
    const auto at = text.rfind("line ", text.compare(0, 5, "line ") == 0 ? 0 : std::string::npos);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 5);
}

bool is_header(std::string_view t, Line l) {
    std::size_t i = l.begin;
    if (i == 0 && t.substr(0, 3) == kBom) i = 3;
    while (i < l.end && (t[i] == ' ' || t[i] == '\t' || t[i] == '\f' || t[i] == '\v')) ++i;
    return i < l.end && t[i] == '[';
}

// A save over `text`: an existing key (not one on a line read in part) and a
// new one, with values that need every kind of escape.
void check_save(std::string_view text, const Parsed& p) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& e : p.entries) {
        bool clean = true;
        for (const auto& other : p.entries) clean = clean && !(other.key == e.key && other.runs_on);
        if (clean) {
            values.emplace_back(e.key, "a;b \"c\" \\d\r\n=,\t@");
            break;
        }
    }
    std::string added = "FUZZ_NEW";
    while (p.keys.count(added)) added += '_';
    values.emplace_back(added, std::string("\xe9@ y\0", 5));

    const auto saved = vqd::ini::replace_keys(text, p, values);
    if (!p.ok) {
        CHECK(!saved, text);  // a text the reader cannot take is never written over
        return;
    }
    CHECK(saved, text);
    const Parsed after = vqd::ini::parse(*saved);
    CHECK(after.ok, *saved);
    CHECK(after.notes.size() == p.notes.size(), *saved);
    CHECK(after.keys.size() == p.keys.size() + 1, *saved);
    for (const auto& [key, value] : p.keys) {
        const auto it = after.keys.find(key);
        CHECK(it != after.keys.end(), *saved);
        if (values.size() == 2 && key == values[0].first) CHECK(it->second == values[0].second, *saved);
        else CHECK(it->second == value, *saved);
    }
    CHECK(after.keys.at(added) == values.back().second, *saved);
    if (p.body) CHECK(saved->substr(0, 3) == kBom, *saved);
}

// The edit `edit` chooses, applied to line `line` of `original`; false when there is none.
bool apply_edit(const std::string& original, const uint8_t* edit, const std::vector<Line>& lines, std::size_t& line,
                std::string& edited) {
    line = edit[1] % lines.size();
    const Line l = lines[line];
    const std::size_t len = l.end - l.begin;
    static const char* const kInserts[] = {"\"", "\\", "\xEF\xBB\xBF", "\r", "\n", "\r\n", " ", "\t"};
    constexpr unsigned kInsertCount = sizeof kInserts / sizeof *kInserts;
    const unsigned op = edit[0] % (kInsertCount + 3);
    const std::size_t col = (edit[2] | (edit[3] << 8)) % (len + 1);
    edited = original;
    if (op < kInsertCount) {
        edited.insert(l.begin + col, kInserts[op]);
    } else if (op == kInsertCount) {
        edited.insert(l.begin + col, 1, '\0');
    } else if (op == kInsertCount + 1) {  // delete one character
        if (len == 0) return false;
        const std::size_t at = l.begin + col % len;
        edited.erase(at, at == 0 && original.substr(0, 3) == kBom ? 3 : 1);
    } else {  // delete one of the line's quotes, backslashes or blanks
        std::vector<std::size_t> marks;
        for (std::size_t i = l.begin; i < l.end; ++i)
            if (original[i] == '"' || original[i] == '\\' || original[i] == ' ') marks.push_back(i);
        if (marks.empty()) return false;
        edited.erase(marks[col % marks.size()], 1);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool has_edit = size > kEditSize && data[size - kEditSize - 1] == 0;
    const std::string original(reinterpret_cast<const char*>(data), has_edit ? size - kEditSize - 1 : size);
    const Parsed before = vqd::ini::parse(original);
    check_save(original, before);
    if (!has_edit || !before.ok || !before.notes.empty()) return 0;  // only a clean file is a starting point

    const std::vector<Line> lines = lines_of(original);
    std::size_t line = 0;
    std::string edited;
    if (!apply_edit(original, data + size - kEditSize, lines, line, edited)) return 0;
    const Parsed after = vqd::ini::parse(edited);

    // The edited line's bytes, in the edited text, and the lines they now cover.
    const Line l = lines[line];
    const std::size_t region_end = l.end + edited.size() - original.size();
    const int edited_line = static_cast<int>(line) + 1;
    const int first = line_at(edited, l.begin), last = line_at(edited, region_end);
    auto in_region = [&](int n) { return n >= first && n <= last; };

    if (!after.ok) {
        CHECK(in_region(named_line(after.error)), edited);
        CHECK(!vqd::ini::replace_keys(edited, after, {{"MainLeft", "1"}}), edited);
        return 0;
    }
    for (const auto& note : after.notes) CHECK(in_region(named_line(note)), edited);

    // Keys the edit may change: those of the edited line, before and after.
    std::vector<std::string> touched;
    for (const auto& e : before.entries)
        if (e.line == edited_line) touched.push_back(e.key);
    for (const auto& e : after.entries)
        if (in_region(e.line)) touched.push_back(e.key);
    // A section header made or changed by the edit moves the keys below it into
    // that section, for QSettings as for us: the user's own change of structure.
    bool header = is_header(original, l);
    const std::vector<Line> edited_lines = lines_of(edited);
    for (int n = first; n <= last && n <= static_cast<int>(edited_lines.size()); ++n)
        header = header || is_header(edited, edited_lines[static_cast<std::size_t>(n - 1)]);
    for (const auto& [key, value] : before.keys) {
        bool skip = false;
        for (const auto& t : touched) skip = skip || t == key;
        for (const auto& e : before.entries) skip = skip || (header && e.key == key && e.line > edited_line);
        // A header gone moves the keys below it into the section above, where
        // a key of the same name further down wins over the one above it.
        for (const auto& e : after.entries) skip = skip || (header && e.key == key && e.line > last);
        if (skip) continue;
        const auto it = after.keys.find(key);
        CHECK(it != after.keys.end() && it->second == value, edited);
    }
    check_save(edited, after);
    return 0;
}

// Mostly a new edit of the same file; now and then a mutated file, edit kept.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
    if (max_size < kEditSize + 2) return size;
    std::minstd_rand random(seed);
    const bool has_edit = size > kEditSize && data[size - kEditSize - 1] == 0;
    std::size_t file = has_edit ? size - kEditSize - 1 : size;
    uint8_t edit[kEditSize];
    if (has_edit && random() % 4 == 0) {
        std::memcpy(edit, data + file, kEditSize);
        file = LLVMFuzzerMutate(data, file, max_size - kEditSize - 1);
    } else {
        for (auto& b : edit) b = static_cast<uint8_t>(random());
    }
    file = std::min(file, max_size - kEditSize - 1);
    data[file] = 0;
    std::memcpy(data + file + 1, edit, kEditSize);
    return file + 1 + kEditSize;
}
