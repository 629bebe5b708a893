// The fonts of the window tables, at a monitor's DPI.
//
// A family the system lacks is replaced by the nearest installed one: "MS Sans
// Serif" by its scalable successor "Microsoft Sans Serif" (the bitmap original
// only has a few sizes, which look wrong at any DPI but 96), then by other
// plain sans-serif faces; "Arial Black" by Arial at the same heavy weight.
// Sizes and weights stay as the tables give them.
#pragma once

#include "model/control.h"

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace vqd::win32ui {

// The font of controls the tables give none: the classic default of forms.
inline constexpr Font kDefaultFont{"MS Sans Serif", 8.25, 400};

class FontCache {
public:
    FontCache();
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    HFONT get(const Font& font, UINT dpi);
    // The installed family drawn for `family`.
    std::wstring resolve(std::string_view family) const;
    // The families tried for `family`, in order.
    static std::vector<std::wstring> candidates(std::string_view family);

private:
    struct NoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const {
            return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
        }
    };
    std::set<std::wstring, NoCase> installed_;
    std::map<std::tuple<std::wstring, int, int>, HFONT> fonts_;  // face, pixel height, weight
};

}  // namespace vqd::win32ui
