// Byte-level rules for text that no locale may change: the files other
// programs read, and names compared the way the systems compare them.
// std::tolower and friends follow the user's locale (under tr_TR, 'I' has no
// ASCII lower case), so they are never used for these.
#pragma once

#include <cstddef>
#include <string_view>

namespace vqd {

inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The length of the well-formed UTF-8 sequence at the front of `s`. When none
// starts there (a stray byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or a sequence cut short), minus the length of the longest start of
// one (at least 1): the bytes one U+FFFD stands for.
inline int utf8_sequence(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c == 0xE0) len = 3, lo = 0xA0;  // no overlong forms
    else if (c == 0xED) len = 3, hi = 0x9F;  // no surrogates
    else if (c >= 0xE1 && c <= 0xEF) len = 3;
    else if (c == 0xF0) len = 4, lo = 0x90;
    else if (c == 0xF4) len = 4, hi = 0x8F;  // nothing above U+10FFFF
    else if (c >= 0xF1 && c <= 0xF3) len = 4;
    else return -1;
    for (int i = 1; i < len; ++i) {
        if (std::size_t(i) >= s.size()) return -i;
        const unsigned char x = b(std::size_t(i));
        if (i == 1 ? (x < lo || x > hi) : (x < 0x80 || x > 0xBF)) return -i;
    }
    return len;
}

// Whether all of `s` is well-formed UTF-8.
inline bool is_utf8(std::string_view s) {
    while (!s.empty()) {
        const int n = utf8_sequence(s);
        if (n < 0) return false;
        s.remove_prefix(std::size_t(n));
    }
    return true;
}

}  // namespace vqd
