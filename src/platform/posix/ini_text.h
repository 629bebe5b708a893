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
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vqd::ini {

struct Entry {
    std::string key;
    std::size_t begin = 0, end = 0;  // the bytes of "key=value", without the line end
};

struct Parsed {
    bool ok = true;
    std::string error;                        // why the text is not INI text, when !ok
    std::map<std::string, std::string> keys;  // top-level keys, unescaped; the last one written wins
    std::vector<Entry> entries;               // every top-level key line, in file order
    std::size_t insert_at = std::string::npos;  // where a new top-level key goes; npos: no top-level part yet
};

Parsed parse(std::string_view text);

// The value as it goes after "key=".
std::string escape_value(std::string_view value);
std::string unescape_value(std::string_view raw);

// `text` (as `parsed` describes it) with each key set to its value: lines of
// a key present are rewritten in place, absent keys are added at the end of
// the top-level part, creating "[General]" at the head of the file if needed.
std::string replace_keys(std::string_view text, const Parsed& parsed,
                         const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace vqd::ini
