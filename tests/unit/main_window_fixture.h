// The main window on the virtual clock with fake platform services, and a
// recorder of every property change with the time it happened, so a test can
// ask what a control showed at a given moment inside a handler's waits.
#pragma once

#include "model/virtual_clock.h"
#include "platform/fake/fakes.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vqd {

inline void PrintTo(const Colour& c, std::ostream* os) {
    if (c.is_system()) {
        *os << "window-background";
        return;
    }
    *os << '#' << std::hex << std::uppercase << std::setw(6) << std::setfill('0') << c.rrggbb();
}

namespace test {

// Paths the tests configure; the batch files write the logs through the runner's side effect.
inline const std::string kStopBat = "C:\\VQ\\DAZ-ER-STOP.BAT";
inline const std::string kGbcBat = "C:\\VQ\\DAZ-ER-GBC.BAT";
inline const std::string kGccBat = "C:\\VQ\\DAZ-ER-GCC.BAT";
inline const std::string kGbcLog = "C:\\VQ\\DAZ-ER-GBC.LOG";
inline const std::string kGccLog = "C:\\VQ\\DAZ-ER-GCC.LOG";

struct Recorded {
    std::int64_t at;
    std::string control;  // empty for window-level changes
    Prop prop;
    std::string text;            // caption or text after the change
    std::optional<Colour> back;  // background after the change
    bool enabled;
    int value;
    std::size_t keys_read;  // how many store reads had happened by then
};

class MainWindowTest : public ::testing::Test {
protected:
    VirtualClock clock;
    Scheduler scheduler{clock};
    fake::Platform platform;
    std::unique_ptr<MainWindow> main;
    std::vector<Recorded> history;

    MainWindowTest() { platform.runner.clock = [this] { return clock.now_ms(); }; }

    // Store a value in the section of the running executable.
    void put(const std::string& key, const std::string& value) { platform.store.put(platform.executable.exe, key, value); }
    std::optional<std::string> stored(const std::string& key) const {
        return platform.store.value(platform.executable.exe, key);
    }

    // Paths of the five files, and a client that answers with the given texts.
    void configure_files(std::string block_answer = "812345\r\n", std::string connection_answer = "8\r\n") {
        put("CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", kStopBat);
        put("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", kGbcBat);
        put("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", kGccBat);
        put("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", kGbcLog);
        put("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", kGccLog);
        platform.runner.on_run = [this, block_answer, connection_answer](const std::string& line) {
            if (line == kGbcBat) platform.files.content[kGbcLog] = block_answer;
            if (line == kGccBat) platform.files.content[kGccLog] = connection_answer;
        };
    }

    MainWindow& start() {
        main = std::make_unique<MainWindow>(scheduler, platform.services());
        main->observe([this](const Change& c) {
            Recorded r{clock.now_ms(), c.control ? c.control->name() : "", c.prop, "", std::nullopt, false, 0,
                       platform.store.reads.size()};
            if (c.control) {
                r.text = c.control->text();
                r.back = c.control->back_colour();
                r.enabled = c.control->enabled();
                r.value = c.control->value();
            }
            history.push_back(std::move(r));
        });
        main->start();
        return *main;
    }

    Control& operator[](std::string_view name) const { return (*main)[name]; }

    // A user's click, delivered as the scheduler delivers input.
    void click(std::string_view name) {
        main->post_click((*main)[name]);
        scheduler.run_due();
    }
    // The settings window, opened by a click on the Settings button.
    SettingsWindow& open_settings() {
        click("SETTINGS_BUTTON");
        SettingsWindow* s = main->settings_window();
        if (!s) throw std::logic_error("the settings window did not open");
        return *s;
    }
    void advance(std::int64_t ms) { scheduler.advance(ms); }
    void advance_to(std::int64_t t) {
        if (t > clock.now_ms()) scheduler.advance(t - clock.now_ms());
    }

    // What a control's background was at time t (the last change at or before t).
    std::optional<Colour> back_at(std::string_view control, std::int64_t t) const {
        std::optional<Colour> last = (*main)[control].design().back;
        for (const auto& r : history)
            if (r.control == control && r.prop == Prop::BackColor && r.at <= t) last = r.back;
        return last;
    }
    // Every background a control took, with its time.
    std::vector<std::pair<std::int64_t, Colour>> backs_of(std::string_view control) const {
        std::vector<std::pair<std::int64_t, Colour>> out;
        for (const auto& r : history)
            if (r.control == control && r.prop == Prop::BackColor && r.back) out.emplace_back(r.at, *r.back);
        return out;
    }
    // Every text a control showed, with its time.
    std::vector<std::pair<std::int64_t, std::string>> texts_of(std::string_view control) const {
        std::vector<std::pair<std::int64_t, std::string>> out;
        for (const auto& r : history)
            if (r.control == control && (r.prop == Prop::Text || r.prop == Prop::Caption)) out.emplace_back(r.at, r.text);
        return out;
    }
    // Times at which a timer was (re)armed or stopped, as Enabled changes.
    std::vector<std::pair<std::int64_t, bool>> enables_of(std::string_view control) const {
        std::vector<std::pair<std::int64_t, bool>> out;
        for (const auto& r : history)
            if (r.control == control && r.prop == Prop::Enabled) out.emplace_back(r.at, r.enabled);
        return out;
    }
    std::vector<std::int64_t> runs_of(const std::string& line) const {
        std::vector<std::int64_t> out;
        for (const auto& r : platform.runner.runs)
            if (r.line == line) out.push_back(r.at);
        return out;
    }

    // The nine controls a run locks, in the order the start/stop sequence names them.
    static constexpr std::string_view kRunButtons[] = {"SETTINGS_BUTTON", "GETBLOCKCOUNT_BUTTON",
                                                       "GETCONNECTIONCOUNT_BUTTON", "SHUTDOWN_BUTTON"};
    static constexpr std::string_view kRunTickBoxes[] = {"AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX",
                                                         "CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX",
                                                         "CLI_STOP_BAT_TICKBOX"};
    // Names of the controls among `names` whose Enabled flag is `enabled`.
    std::vector<std::string> with_enabled(std::span<const std::string_view> names, bool enabled) const {
        std::vector<std::string> out;
        for (auto n : names)
            if ((*main)[n].enabled() == enabled) out.emplace_back(n);
        return out;
    }
};

}  // namespace test
}  // namespace vqd
