#include "platform/posix/ini_text.h"

#include "model/plain_text.h"

#include <algorithm>
#include <tuple>

namespace vqd::ini {

namespace {

constexpr auto npos = std::string::npos;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\n' || c == '\r'; }

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

// The bytes of @ByteArray(...): each character stands for the byte of its
// code; QSettings turns anything past U+00FF (and text that is not UTF-8) into '?'.
std::string latin1_of(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const int n = utf8_sequence(s.substr(i));
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (n == 1) out += s[i];
        else if (n == 2 && b0 <= 0xC3) out += static_cast<char>(((b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F));
        else out += '?';
        i += n > 0 ? std::size_t(n) : 1;
    }
    return out;
}

// One line as QSettings' reader scans it, up to the line end and no further.
struct LineScan {
    std::size_t equals = npos;  // the first '=' outside quotes
    std::size_t end = 0;        // an unquoted ';' (a comment follows) or the line end
    bool open_quote = false;    // a '"' still open at the line end
    bool escaped_end = false;   // a '\' as the line's last character
};

LineScan scan_line(std::string_view text, std::size_t start, std::size_t eol) {
    LineScan s;
    s.end = eol;
    for (std::size_t i = start; i < eol; ++i) {
        const char ch = text[i];
        if (ch == '\\') {
            if (i + 1 < eol) ++i;
            else s.escaped_end = true;
        } else if (ch == '"') {
            s.open_quote = !s.open_quote;
        } else if (ch == '=') {
            if (!s.open_quote && s.equals == npos) s.equals = i;
        } else if (ch == ';' && !s.open_quote && i != start) {
            s.end = i;
            s.escaped_end = false;
            return s;
        }
    }
    return s;
}

}  // namespace

Parsed parse(std::string_view text) {
    Parsed p;
    p.body = text.substr(0, 3) == kBom ? 3 : 0;
    bool top_level = true;  // keys before any section header belong to "General"
    int number = 0;
    std::string_view insert_line_end;  // the line end of the line new keys go after
    bool insert_after_escape = false;
    auto fail = [&](const char* why) {
        if (!p.ok) return;
        p.ok = false;
        p.error = std::string(why) + " on line " + std::to_string(number);
    };
    for (std::size_t pos = p.body; pos < text.size();) {
        ++number;
        // The line [pos, eol) and its end [eol, next): "\n", "\r\n" or a lone "\r".
        std::size_t eol = pos;
        while (eol < text.size() && !is_line_end(text[eol])) ++eol;
        std::size_t next = eol;
        if (next < text.size()) next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
        const std::string_view line_end = text.substr(eol, next - eol);
        if (p.line_end.empty()) p.line_end = line_end;
        std::size_t start = pos;
        pos = next;

        while (start < eol && is_space(text[start])) ++start;
        if (start == eol || text[start] == ';' || text[start] == '#') continue;
        const LineScan s = scan_line(text, start, eol);
        const bool runs_on = s.open_quote || s.escaped_end;
        if (runs_on)
            p.notes.push_back("line " + std::to_string(number) + ": a value runs past its line end (" +
                              (s.open_quote ? "an unbalanced quote" : "a backslash at the line end") +
                              "); it was read up to the line end");
        auto mark_insert = [&] {
            p.insert_at = next;
            insert_line_end = line_end;
            insert_after_escape = s.escaped_end;
        };
        if (text[start] == '[') {
            const std::string_view header = text.substr(start, s.end - start);
            const auto close = header.find(']');
            if (close == npos) fail("a section header without ']'");
            top_level = is_general(trim(header.substr(1, close == npos ? npos : close - 1)));
            if (top_level && p.insert_at == npos) mark_insert();
            continue;
        }
        if (s.equals == npos) {
            fail("a line that is neither key=value, a section header nor a comment");
            continue;
        }
        if (!top_level) continue;
        std::string key(trim(text.substr(start, s.equals - start)));
        p.keys[key] = unescape_value(text.substr(s.equals + 1, s.end - s.equals - 1));
        p.entries.push_back(Entry{std::move(key), start, s.end, s.equals + 1, number, runs_on});
        mark_insert();
    }
    if (p.line_end.empty()) p.line_end = "\n";
    if (p.insert_at != npos) {
        // New keys start on a line of their own, also after a last line without
        // a line end; after a line ending in '\' a blank line keeps QSettings'
        // reader (that of earlier versions) from joining the two.
        const std::string_view end = insert_line_end.empty() ? std::string_view(p.line_end) : insert_line_end;
        if (insert_line_end.empty()) p.insert_prefix += end;
        if (insert_after_escape) p.insert_prefix += end;
    }
    return p;
}

namespace {

// The text QSettings' reader makes of a value: unquoted, unescaped, blanks
// around it dropped unless quoted or escaped.
std::string unescape_text(std::string_view raw) {
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
            if (++i >= raw.size()) break;  // a '\' at the line end stands for nothing
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
    return out;
}

bool wrapped(std::string_view s, std::string_view head) {
    return s.size() > head.size() && s.substr(0, head.size()) == head && s.back() == ')';
}

}  // namespace

std::string unescape_value(std::string_view raw) {
    std::string out = unescape_text(raw);
    // QSettings' typed forms: a text starting with '@' is stored with the '@' doubled.
    if (out.empty() || out[0] != '@') return out;
    if (wrapped(out, "@ByteArray(")) return latin1_of(std::string_view(out).substr(11, out.size() - 12));
    if (wrapped(out, "@String(")) return out.substr(8, out.size() - 9);
    if (out == "@Invalid()") return {};
    if (out.size() >= 2 && out[1] == '@') out.erase(0, 1);
    return out;
}

std::string escape_value(std::string_view value) {
    // Bytes that are not UTF-8 would come back from QSettings as U+FFFD; its
    // byte form keeps them, with every byte past 0x7E written as \xNN.
    const bool bytes = !is_utf8(value);
    std::string out;
    if (bytes) out = "@ByteArray(";
    else if (!value.empty() && value.front() == '@') out += '@';
    bool needs_quotes = false;
    bool escape_next_if_hex = false;
    static constexpr char kHex[] = "0123456789abcdef";
    auto hex_escape = [&](unsigned char c) {
        out += "\\x";
        if (c >= 16) out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char ch = value[i];
        const auto c = static_cast<unsigned char>(ch);
        if (ch == ';' || ch == ',' || ch == '=') needs_quotes = true;
        if (escape_next_if_hex && hex_digit(ch) >= 0) {
            hex_escape(c);
            continue;
        }
        escape_next_if_hex = false;
        if (!bytes && value.substr(i, 3) == kBom) {
            // QSettings' reader drops a U+FEFF that starts a run of plain text
            // (its decoder takes it for a BOM); escaped, it comes through.
            out += "\\xfeff";
            escape_next_if_hex = true;
            i += 2;
            continue;
        }
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
            if (c <= 0x1F || (bytes && c >= 0x7F)) {
                hex_escape(c);
                escape_next_if_hex = true;
            } else {
                out += ch;  // UTF-8 as it is
            }
        }
    }
    if (bytes) out += ')';
    if (needs_quotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = '"' + out + '"';
    return out;
}

std::optional<std::string> replace_keys(std::string_view text, const Parsed& parsed,
                                        const std::vector<std::pair<std::string, std::string>>& values) {
    if (!parsed.ok) return std::nullopt;
    // (begin, end, replacement), applied front to back.
    std::vector<std::tuple<std::size_t, std::size_t, std::string>> edits;
    std::map<std::string, std::string> wanted;
    for (const auto& [key, value] : values) wanted[key] = value;
    for (const auto& e : parsed.entries) {
        auto it = wanted.find(e.key);
        // The key and '=' stay as typed: a key ending in a backslash or spaced as "key = value" reads the same after.
        if (it != wanted.end()) edits.emplace_back(e.value, e.end, escape_value(it->second));
    }
    std::string added;
    std::map<std::string, bool> done;
    for (const auto& [key, value] : values) {
        if (parsed.keys.count(key) || done[key]) continue;
        done[key] = true;
        added += key + "=" + escape_value(wanted[key]) + parsed.line_end;
    }
    std::string out;
    std::size_t at = 0;
    if (!added.empty() && parsed.insert_at == npos) {
        // No top-level part yet: it goes first, as QSettings writes it, after a
        // BOM (a BOM anywhere else would make the first line unreadable).
        const std::string_view rest = text.substr(parsed.body);
        out.append(text.substr(0, parsed.body));
        out += "[General]" + parsed.line_end + added;
        bool blank = true;
        for (const char ch : rest) blank = blank && (is_space(ch) || is_line_end(ch));
        if (!blank) out += parsed.line_end;
        at = parsed.body;
    } else if (!added.empty()) {
        edits.emplace_back(parsed.insert_at, parsed.insert_at, parsed.insert_prefix + added);
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    for (const auto& [begin, end, replacement] : edits) {
        out.append(text.substr(at, begin - at));
        out += replacement;
        at = end;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace vqd::ini
