#include "frontend/win32/fonts.h"

#include "platform/win32/win32_text.h"

#include <cmath>

namespace vqd::win32ui {

namespace {

int CALLBACK collect_family(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM out) {
    reinterpret_cast<std::set<std::wstring>*>(out)->insert(font->lfFaceName);
    return 1;
}

}  // namespace

FontCache::FontCache() {
    std::set<std::wstring> families;
    HDC screen = GetDC(nullptr);
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(screen, &all, collect_family, reinterpret_cast<LPARAM>(&families), 0);
    ReleaseDC(nullptr, screen);
    installed_.insert(families.begin(), families.end());
}

FontCache::~FontCache() {
    for (auto& [key, font] : fonts_) DeleteObject(font);
}

std::vector<std::wstring> FontCache::candidates(std::string_view family) {
    const std::wstring name = win32::widen(family);
    const std::vector<std::wstring> sans = {L"Tahoma", L"Segoe UI", L"Liberation Sans", L"DejaVu Sans"};
    std::vector<std::wstring> list;
    if (name == L"MS Sans Serif")
        list = {L"Microsoft Sans Serif", L"MS Sans Serif"};
    else if (name == L"Arial Black")
        list = {L"Arial Black", L"Arial", L"Liberation Sans", L"Nimbus Sans"};
    else if (name == L"Arial")
        list = {L"Arial", L"Liberation Sans", L"Nimbus Sans"};
    else
        list = {name};
    list.insert(list.end(), sans.begin(), sans.end());
    return list;
}

std::wstring FontCache::resolve(std::string_view family) const {
    for (const auto& candidate : candidates(family))
        if (installed_.count(candidate)) return candidate;
    return win32::widen(family);  // let the font mapper choose
}

HFONT FontCache::get(const Font& font, UINT dpi) {
    const std::wstring face = resolve(font.family);
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72.0));
    const auto key = std::make_tuple(face, height, font.weight);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = font.weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT handle = CreateFontIndirectW(&lf);
    fonts_.emplace(key, handle);
    return handle;
}

}  // namespace vqd::win32ui
