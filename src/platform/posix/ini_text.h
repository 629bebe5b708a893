// The INI text of the settings files: reading a value as it was written and
// replacing some keys while every other byte of the file stays as it was.
//
// Files written by earlier versions of the program came from QSettings, so the
// escaping here is QSettings' own: values are quoted when they hold ';', ','
// or '=' or start or end with a blank, '\' and '"' are escaped, control
// characters are written as \n, \t, \xNN, a leading '@' is doubled. Keys live
// at the top level, in the "[General]" section (or before any section header).
// One departure on reading: an unquoted comma is just a character, so a value
// written by hand as a,b comes back as "a,b" rather than as a list.
//
// A second departure: every value ends at its line end. QSettings' reader lets
// an open '"' or a '\' at a line's end carry a value on over the line end, but
// neither writer ever writes one (line breaks are escaped as \n, backslashes as
// \\), so such a line is a hand edit, and reading on would swallow every key
// below it. The line is read up to its end and reported in `notes`.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vqd::ini {

struct Entry {
    std::string key;
    std::size_t begin = 0, end = 0;  // the bytes of "key=value", without a trailing comment or the line end
    std::size_t value = 0;           // where the value begins, after the '='
    int line = 0;                    // 1-based, as an editor counts
    bool runs_on = false;            // its value ran past the line end (a hand edit), see `notes`
};

struct Parsed {
    bool ok = true;
    std::string error;                        // why the text is not INI text ("... on line N"), when !ok
    std::vector<std::string> notes;           // "line N: ..." for each line whose value ran past its end
    std::map<std::string, std::string> keys;  // top-level keys, unescaped; the last one written wins
    std::vector<Entry> entries;               // every top-level key line, in file order
    std::size_t body = 0;                     // where the text begins after a UTF-8 BOM
    // Where new top-level lines go: after the line end of the last top-level key
    // (or "[General]" header); npos: no top-level part yet.
    std::size_t insert_at = std::string::npos;
    std::string insert_prefix;  // what must come before them there (a missing line end, a blank line)
    std::string line_end;       // the line end new lines get: the one the file uses, "\n" in a new file
};

Parsed parse(std::string_view text);

// The value as it goes after "key=". Text that is not UTF-8 is written in
// QSettings' byte form, @ByteArray(...), so both readers return its bytes.
std::string escape_value(std::string_view value);
// The value after "key=" as QSettings reads it, its @String(...) and
// @ByteArray(...) forms included.
std::string unescape_value(std::string_view raw);

// `text` (as `parsed` describes it) with each key set to its value: lines of
// a key present are rewritten in place, absent keys are added on lines of
// their own after the top-level part, creating "[General]" at the head of the
// file (after a BOM) if needed. Nothing when `parsed` is not INI text: a file
// whose lines are not understood is never written over.
std::optional<std::string> replace_keys(std::string_view text, const Parsed& parsed,
                                        const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace vqd::ini
