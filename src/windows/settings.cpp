#include "windows/settings.h"

#include "platform/failure.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace vqd {

namespace {
using K = SettingKind;
constexpr SettingKey kKeys[] = {
    {"MainLeft", K::Coordinate, "1000"},
    {"MainTop", K::Coordinate, "1000"},
    {"MainWidth", K::Coordinate, "5280"},
    {"MainHeight", K::Coordinate, "3630"},
    {"CLI_GBC_BAT_TICKBOX", K::TickBox, "0"},
    {"CLI_GCC_BAT_TICKBOX", K::TickBox, "0"},
    {"CLI_STOP_BAT_TICKBOX", K::TickBox, "0"},
    {"AUTOSTART_TICKBOX", K::TickBox, "0"},
    {"AUTOCLOSE_TIMER_TICKBOX", K::TickBox, "0"},
    {"CLI_NAME_TEXTBOX", K::Text, ""},
    {"UPDATE_EXTERNAL_FILE_TICKBOX", K::TickBox, "0"},
    {"RUN_COMMAND_TICKBOX", K::TickBox, "0"},
    {"RUN_COMMAND_TEXTBOX", K::Text, ""},
    {"UPDATE_EXTERNAL_FILE_TEXTBOX", K::Text, ""},
    {"CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", K::Text, ""},
    {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", K::Text, ""},
    {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", K::Text, ""},
    {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", K::Text, ""},
    {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", K::Text, ""},
    {"AlwaysOnTopTimer_TICKBOX", K::TickBox, "1"},
    {"SETTINGS-Left", K::Coordinate, "1000"},
    {"SETTINGS-Top", K::Coordinate, "1000"},
    {"SETTINGS-Width", K::Coordinate, "12105"},
    {"SETTINGS-Height", K::Coordinate, "7260"},
    {"VQ_CLI_UI_LOCATION_TEXTBOX", K::Text, ""},
    {"CONF_LOCATION_TEXTBOX", K::Text, ""},
    {"CLI_LOCATION_TEXTBOX", K::Text, ""},
    {"DASH_DAEMON_TICKBOX", K::TickBox, "0"},
    {"DISABLE_DAEMON_TICKBOX", K::TickBox, "0"},
};
static_assert(std::size(kKeys) == 29);

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}
}  // namespace

std::span<const SettingKey> setting_keys() { return kKeys; }

const SettingKey& setting_key(std::string_view name) {
    for (const auto& k : kKeys)
        if (k.name == name) return k;
    throw std::out_of_range("no setting named " + std::string(name));
}

std::optional<int> parse_tick(std::string_view text) {
    text = trim_blanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (v < 0 || v > 2) return std::nullopt;
    return v;
}

std::optional<float> parse_coordinate(std::string_view text) {
    text = trim_blanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    float v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string format_coordinate(float v) {
    // Plain decimals ("400000", "1234.5"), the shortest that reads back as the
    // same value; 64 places hold even the largest single-precision number.
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (ec != std::errc{}) return "0";
    return std::string(buf, end);
}

std::string Settings::raw(std::string_view key, std::string_view fallback) const {
    try {
        return store_.get(std::string(kApplication), section(), std::string(key), std::string(fallback));
    } catch (const PlatformError& e) {
        if (read_failure_.empty()) read_failure_ = e.what();
        return std::string(fallback);
    }
}

namespace {
std::string_view extra_key(std::string_view name) {
    if (name.find('.') == std::string_view::npos)
        throw std::invalid_argument("\"" + std::string(name) + "\" is not a name for a key of the additions");
    return name;
}
}  // namespace

int Settings::tick(std::string_view name) const {
    const auto& key = setting_key(name);
    if (auto v = parse_tick(raw(key.name, key.fallback))) return *v;
    return *parse_tick(key.fallback);
}

float Settings::coordinate(std::string_view name) const {
    const auto& key = setting_key(name);
    if (auto v = parse_coordinate(raw(key.name, key.fallback))) return *v;
    return *parse_coordinate(key.fallback);
}

std::string Settings::text(std::string_view name) const {
    const auto& key = setting_key(name);
    return raw(key.name, key.fallback);
}

std::string Settings::extra(std::string_view name, std::string_view fallback) const {
    return raw(extra_key(name), fallback);
}

Settings::Batch& Settings::Batch::tick(std::string_view key, int value) {
    values_.emplace_back(setting_key(key).name, std::to_string(value));
    return *this;
}

Settings::Batch& Settings::Batch::coordinate(std::string_view key, float value) {
    values_.emplace_back(setting_key(key).name, format_coordinate(value));
    return *this;
}

Settings::Batch& Settings::Batch::text(std::string_view key, const std::string& value) {
    values_.emplace_back(setting_key(key).name, value);
    return *this;
}

Settings::Batch& Settings::Batch::extra(std::string_view key, const std::string& value) {
    values_.emplace_back(extra_key(key), value);
    return *this;
}

void Settings::save(const Batch& batch) {
    if (!read_failure_.empty())
        throw PlatformError("save settings", section(),
                            "not saved, because the stored settings could not be read (" + read_failure_ +
                                ") and saving now would replace them with defaults");
    store_.save_all(std::string(kApplication), section(), batch.values());
}

void Settings::save_tick(std::string_view key, int value) { save(Batch().tick(key, value)); }

void Settings::save_coordinate(std::string_view key, float value) { save(Batch().coordinate(key, value)); }

void Settings::save_text(std::string_view key, const std::string& value) { save(Batch().text(key, value)); }

}  // namespace vqd
