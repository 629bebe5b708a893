#include "platform/posix/ini_text.h"

#include <algorithm>
#include <tuple>

namespace vqd::ini {

namespace {

constexpr auto npos = std::string::npos;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

bool is_general(std::string_view name) {
    if (name.size() != 7) return false;
    for (std::size_t i = 0; i < 7; ++i)
        if ((name[i] | 0x20) != "general"[i]) return false;
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_utf8(std::string& out, unsigned v) {
    v &= 0xFFFF;  // an escape stands for one UTF-16 unit
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v < 0x800) {
        out += static_cast<char>(0xC0 | (v >> 6));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (v >> 12));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
}

struct Line {
    std::size_t begin, end, equals;
};

// One logical line: a quoted value and an escaped line end continue it, an
// unquoted ';' ends it (the rest is a comment, read as the next line).
bool next_line(std::string_view d, std::size_t& pos, Line& line) {
    std::size_t start = pos;
    while (start < d.size() && is_space(d[start])) ++start;
    std::size_t i = start;
    std::size_t equals = npos;
    bool in_quotes = false;
    while (i < d.size()) {
        const char ch = d[i++];
        if (ch == '=') {
            if (!in_quotes && equals == npos) equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (!in_quotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < d.size()) {
                const char next = d[i++];
                if (i < d.size() && ((next == '\n' && d[i] == '\r') || (next == '\r' && d[i] == '\n'))) ++i;
            }
        } else if (ch == '"') {
            in_quotes = !in_quotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < d.size() && d[i] != '\n' && d[i] != '\r') ++i;
                break;
            }
            if (!in_quotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = Line{start, i, equals};
    return i > start;
}

}  // namespace

Parsed parse(std::string_view text) {
    Parsed p;
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    bool top_level = true;  // keys before any section header belong to "General"
    Line line{};
    auto fail = [&](std::size_t at, const char* why) {
        if (!p.ok) return;
        p.ok = false;
        p.error = std::string(why) + " on line " +
                  std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
    };
    while (next_line(text, pos, line)) {
        const std::string_view l = text.substr(line.begin, line.end - line.begin);
        if (l.front() == '[') {
            const auto close = l.find(']');
            if (close == npos) fail(line.begin, "a section header without ']'");
            top_level = is_general(trim(l.substr(1, close == npos ? npos : close - 1)));
            if (top_level && p.insert_at == npos) p.insert_at = line.end;
            continue;
        }
        if (l.front() == ';' || l.front() == '#') continue;
        if (line.equals == npos) {
            fail(line.begin, "a line that is neither key=value, a section header nor a comment");
            continue;
        }
        if (!top_level) continue;
        std::string key(trim(text.substr(line.begin, line.equals - line.begin)));
        p.keys[key] = unescape_value(text.substr(line.equals + 1, line.end - line.equals - 1));
        p.entries.push_back(Entry{std::move(key), line.begin, line.end});
        p.insert_at = line.end;
    }
    return p;
}

std::string unescape_value(std::string_view raw) {
    std::string out;
    std::size_t i = 0;
    auto skip_blanks = [&] {
        while (i < raw.size() && is_blank(raw[i])) ++i;
    };
    skip_blanks();
    bool in_quotes = false, quoted = false;
    std::size_t keep = 0;  // trailing blanks before this are the value's own (escaped or quoted)
    while (i < raw.size()) {
        const char ch = raw[i];
        if (ch == '\\') {
            if (++i >= raw.size()) break;
            const char e = raw[i++];
            switch (e) {
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'v': out += '\v'; break;
            case '"': case '?': case '\'': case '\\': out += e; break;
            case 'x': {
                if (i < raw.size() && hex_digit(raw[i]) >= 0) {
                    unsigned v = 0;
                    while (i < raw.size() && hex_digit(raw[i]) >= 0) v = (v << 4) + static_cast<unsigned>(hex_digit(raw[i++]));
                    append_utf8(out, v);
                }
                break;
            }
            case '\n': case '\r':
                // An escaped line end continues the value on the next line.
                if (i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e) ++i;
                break;
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    while (i < raw.size() && raw[i] >= '0' && raw[i] <= '7') v = (v << 3) + static_cast<unsigned>(raw[i++] - '0');
                    append_utf8(out, v);
                }
                break;  // any other escaped character is dropped
            }
            keep = out.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            in_quotes = !in_quotes;
            if (!in_quotes) skip_blanks();
            keep = out.size();
        } else {
            out += ch;
            ++i;
        }
    }
    if (!quoted)
        while (out.size() > keep && is_blank(out.back())) out.pop_back();
    // A text starting with '@' is stored with the '@' doubled.
    if (out.size() >= 2 && out[0] == '@' && out[1] == '@') out.erase(0, 1);
    return out;
}

std::string escape_value(std::string_view value) {
    std::string out;
    if (!value.empty() && value.front() == '@') out += '@';
    bool needs_quotes = false;
    bool escape_next_if_hex = false;
    static constexpr char kHex[] = "0123456789abcdef";
    auto hex_escape = [&](unsigned char c) {
        out += "\\x";
        if (c >= 16) out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == ';' || ch == ',' || ch == '=') needs_quotes = true;
        if (escape_next_if_hex && hex_digit(ch) >= 0) {
            hex_escape(c);
            continue;
        }
        escape_next_if_hex = false;
        switch (ch) {
        case '\0': out += "\\0"; escape_next_if_hex = true; break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"': case '\\': out += '\\'; out += ch; break;
        default:
            if (c <= 0x1F) {
                hex_escape(c);
                escape_next_if_hex = true;
            } else {
                out += ch;  // UTF-8 as it is
            }
        }
    }
    if (needs_quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = '"' + out + '"';
    return out;
}

std::string replace_keys(std::string_view text, const Parsed& parsed,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    // (begin, end, replacement), applied front to back.
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> edits;
    std::map<std::string, std::string> wanted;
    for (const auto& [key, value] : values) wanted[key] = value;
    for (const auto& e : parsed.entries) {
        auto it = wanted.find(e.key);
        if (it != wanted.end()) edits.emplace_back(e.begin, e.end, e.key + "=" + escape_value(it->second));
    }
    std::string added;
    std::map<std::string, bool> done;
    for (const auto& [key, value] : values) {
        if (parsed.keys.count(key) || done[key]) continue;
        done[key] = true;
        added += "\n" + key + "=" + escape_value(wanted[key]);
    }
    std::string out;
    if (!added.empty() && parsed.insert_at == npos) {
        // No top-level part yet: it goes first, as QSettings writes it.
        out = "[General]" + added + "\n";
        if (!trim(text).empty()) out += "\n";
    } else if (!added.empty()) {
        if (parsed.insert_at == text.size()) added += "\n";
        edits.emplace_back(parsed.insert_at, parsed.insert_at, added);
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    std::size_t at = 0;
    for (const auto& [begin, end, replacement] : edits) {
        out.append(text.substr(at, begin - at));
        out += replacement;
        at = end;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace vqd::ini
