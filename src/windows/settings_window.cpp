#include "windows/settings_window.h"

#include "windows/main_window.h"

namespace vqd {

namespace {
constexpr std::string_view kComposerTimers[] = {"CLI_STOP_BAT_COMMAND_TIMER", "CLI_GBC_BAT_COMMAND_TIMER",
                                                "CLI_GCC_BAT_COMMAND_TIMER"};
constexpr std::string_view kPathFields[] = {"VQ_CLI_UI_LOCATION_TEXTBOX", "CONF_LOCATION_TEXTBOX",
                                            "CLI_LOCATION_TEXTBOX", "CLI_NAME_TEXTBOX"};
constexpr std::string_view kOptionTicks[] = {"DASH_DAEMON_TICKBOX", "DISABLE_DAEMON_TICKBOX",
                                             "UPDATE_EXTERNAL_FILE_TICKBOX", "RUN_COMMAND_TICKBOX"};
constexpr std::string_view kActionTexts[] = {"RUN_COMMAND_TEXTBOX", "UPDATE_EXTERNAL_FILE_TEXTBOX"};

struct DerivedPath {
    std::string_view full_path_box;
    std::string_view file_name_box;
    std::string_view display;  // the generated line a batch file holds; none for a log
};
// The five full paths, in the order they are derived, copied and stored; the
// first three are the batch files.
constexpr DerivedPath kFullPaths[] = {
    {"CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", "CLI_STOP_BAT_FILENAME_TEXTBOX", "VQCLI_STOP_COMMAND_TEXTBOX"},
    {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "CLI_GBC_BAT_FILENAME_TEXTBOX", "VQCLI_GBC_COMMAND_TEXTBOX"},
    {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "CLI_GCC_BAT_FILENAME_TEXTBOX", "VQCLI_GCC_COMMAND_TEXTBOX"},
    {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "CLI_UI_GBC_LOG_TEXTBOX", {}},
    {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "CLI_UI_GCC_LOG_TEXTBOX", {}},
};
constexpr std::span<const DerivedPath> kBatchFiles = std::span(kFullPaths).first<3>();

// Every command line starts by calling the client with its configuration and
// the daemon option; only the command word and the log differ. The client's
// path is quoted by the fixed pieces around it; the configuration path and the
// log path are each one word of the line, quoted when they need it.
constexpr std::string_view kClientProgram[] = {
    "CALL_COMMAND_TEXTBOX", "SM_TB", "CLI_LOCATION_TEXTBOX", "BACKSLASH_TEXTBOX", "CLI_NAME_TEXTBOX",
    "SM_TB",                "SPACEBAR_TEXTBOX", "DASH_CONF_TEXTBOX",
};
constexpr std::string_view kConfPath[] = {"CONF_LOCATION_TEXTBOX"};
constexpr std::string_view kDaemonPiece[] = {"DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"};

struct CommandTail {
    std::string_view before_log;            // the command word, and the redirection when there is a log
    std::span<const std::string_view> log;  // the log's full path; empty for none
};
constexpr std::string_view kGbcLog[] = {"VQ_CLI_UI_LOCATION_TEXTBOX", "BACKSLASH_TEXTBOX", "CLI_UI_GBC_LOG_TEXTBOX"};
constexpr std::string_view kGccLog[] = {"VQ_CLI_UI_LOCATION_TEXTBOX", "BACKSLASH_TEXTBOX", "CLI_UI_GCC_LOG_TEXTBOX"};
constexpr CommandTail kStopTail{"STOP_CMD_TEXTBOX", {}};
constexpr CommandTail kGbcTail{"GBC_ARROW_TEXTBOX", kGbcLog};
constexpr CommandTail kGccTail{"GCC_ARROW_TEXTBOX", kGccLog};

std::string as_one_word(std::string text) {
    // sh and cmd.exe both end a word at a blank; inside double quotes they
    // (and the client's own argument parser) keep it as one. A path without a
    // blank is written as typed, so existing batch files stay byte for byte;
    // one the user quoted already is left as it is.
    if (text.find_first_of(" \t") == std::string::npos || text.find('"') != std::string::npos) return text;
    return '"' + text + '"';
}

// The texts of a list of boxes, one after the other.
std::string join_texts(const Window& window, std::span<const std::string_view> boxes) {
    std::string line;
    for (auto box : boxes) line += window[box].text();
    return line;
}

std::string compose_line(const Window& w, const CommandTail& tail) {
    std::string line = join_texts(w, kClientProgram) + as_one_word(join_texts(w, kConfPath)) +
                       join_texts(w, kDaemonPiece) + w[tail.before_log].text();
    if (!tail.log.empty()) line += as_one_word(join_texts(w, tail.log));
    return line;
}
}  // namespace

SettingsWindow::SettingsWindow(Scheduler& scheduler, Services services, MainWindow& main)
    : Window("VQ_CLI_UI_SETTINGS", scheduler, inventory(), Rect{0, 0, 12015, 10260}),
      services_(services),
      main_(main),
      settings_(services.store, services.executable) {
    set_caption("TARNWICK - VQ-DAZ-ER - SETTINGS");
    // The one piece that differs between platforms: the batch files and the
    // full paths join folder and file name with the platform's own separator.
    (*this)["BACKSLASH_TEXTBOX"].set_text(services_.conventions.separator);

    on_click("SAVE_REGISTRY_BUTTON", [this] { SAVE_REGISTRY_BUTTON_Click(); });
    on_click("SAVE_BATS_BUTTON", [this] { SAVE_BATS_BUTTON_Click(); });
    on_click("CLOSE_BUTTON", [this] { CLOSE_BUTTON_Click(); });
    on_timer("CLI_STOP_BAT_COMMAND_TIMER", [this] { CLI_STOP_BAT_COMMAND_TIMER_Timer(); });
    on_timer("CLI_GBC_BAT_COMMAND_TIMER", [this] { CLI_GBC_BAT_COMMAND_TIMER_Timer(); });
    on_timer("CLI_GCC_BAT_COMMAND_TIMER", [this] { CLI_GCC_BAT_COMMAND_TIMER_Timer(); });
    on_click("DASH_DAEMON_TICKBOX", [this] { DASH_DAEMON_TICKBOX_Click(); });
    on_click("DISABLE_DAEMON_TICKBOX", [this] { DISABLE_DAEMON_TICKBOX_Click(); });
    on_click("UPDATE_EXTERNAL_FILE_TICKBOX", [this] { UPDATE_EXTERNAL_FILE_TICKBOX_Click(); });
    on_click("RUN_COMMAND_TICKBOX", [this] { RUN_COMMAND_TICKBOX_Click(); });
    on_click("AlwaysOnTopTimer_TICKBOX", [this] { AlwaysOnTopTimer_TICKBOX_Click(); });
    on_click("VQ_CLI_UI_CREATOR", [this] { VQ_CLI_UI_CREATOR_Click(); });
}

// --- Opening and closing ---

void SettingsWindow::load() {
    auto& c = *this;
    // 1. Placement.
    set_left(settings_.coordinate("SETTINGS-Left"));
    set_top(settings_.coordinate("SETTINGS-Top"));
    set_width(settings_.coordinate("SETTINGS-Width"));
    set_height(settings_.coordinate("SETTINGS-Height"));
    // 2. The daemon option piece starts empty; the daemon tick boxes set it.
    c["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].set_text("");
    // 3. The four values the lines and paths are built from.
    for (auto key : kPathFields) c[key].set_text(settings_.text(key));
    // 4. Options; each stored tick runs its handler before the next is read.
    for (auto key : kOptionTicks) c[key].set_value(settings_.tick(key));
    // 5. The block-change actions.
    for (auto key : kActionTexts) c[key].set_text(settings_.text(key));
    // 6. Ticked at design: its handler (acting on the main window) runs only for a stored value other than 1.
    c["AlwaysOnTopTimer_TICKBOX"].set_value(settings_.tick("AlwaysOnTopTimer_TICKBOX"));
    // 7. The composers start; the displays fill one second from now.
    for (auto timer : kComposerTimers) {
        c[timer].set_interval(1000);
        c[timer].set_enabled(true);
    }
    // 8, 9. The action boxes follow their tick boxes (the colour only when a handler ran).
    for (auto [tick, text] : {std::pair{"UPDATE_EXTERNAL_FILE_TICKBOX", "UPDATE_EXTERNAL_FILE_TEXTBOX"},
                              std::pair{"RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX"}}) {
        const bool on = c[tick].value() == 1;
        c[text].set_enabled(on);
        c[text].set_locked(!on);
    }
    if (!settings_.read_failure().empty())
        main_.report_failure("read settings", "The stored settings could not be read; every setting took its default: " +
                                                  settings_.read_failure());
}

void SettingsWindow::unload() {
    settings_.save(Settings::Batch().coordinate("SETTINGS-Left", left()).coordinate("SETTINGS-Top", top()));
}

void SettingsWindow::CLOSE_BUTTON_Click() {
    for (auto timer : kComposerTimers) (*this)[timer].set_enabled(false);
    close();
}

// --- Save To Registry ---

std::string SettingsWindow::full_path(std::string_view file_name_box) const {
    const auto& c = *this;
    return c["VQ_CLI_UI_LOCATION_TEXTBOX"].text() + c["BACKSLASH_TEXTBOX"].text() + c[file_name_box].text();
}

void SettingsWindow::SAVE_REGISTRY_BUTTON_Click() {
    auto& c = *this;
    // 6. Derive the five full paths first: the store is written once, with
    // every key of the save in it, or not at all.
    for (const auto& p : kFullPaths) c[p.full_path_box].set_text(full_path(p.file_name_box));
    // 1-5, 8.
    Settings::Batch batch;
    batch.coordinate("SETTINGS-Left", left()).coordinate("SETTINGS-Top", top());
    for (auto key : kPathFields) batch.text(key, c[key].text());
    for (auto key : kOptionTicks) batch.tick(key, c[key].value());
    for (auto key : kActionTexts) batch.text(key, c[key].text());
    batch.tick("AlwaysOnTopTimer_TICKBOX", c["AlwaysOnTopTimer_TICKBOX"].value());
    for (const auto& p : kFullPaths) batch.text(p.full_path_box, c[p.full_path_box].text());
    settings_.save(batch);
    // The save rewrote every key of this window, hand-edited lines among them.
    main_.report_hand_edits();
    // 7. The one road by which configuration reaches the running main window.
    main_["UPDATE_EXTERNAL_FILE_TICKBOX"].set_value(c["UPDATE_EXTERNAL_FILE_TICKBOX"].value());
    main_["UPDATE_EXTERNAL_FILE_TEXTBOX"].set_text(c["UPDATE_EXTERNAL_FILE_TEXTBOX"].text());
    main_["RUN_COMMAND_TICKBOX"].set_value(c["RUN_COMMAND_TICKBOX"].value());
    main_["RUN_COMMAND_TEXTBOX"].set_text(c["RUN_COMMAND_TEXTBOX"].text());
    main_["CLI_NAME_TEXTBOX"].set_text(c["CLI_NAME_TEXTBOX"].text());
    for (const auto& p : kFullPaths) main_[p.full_path_box].set_text(c[p.full_path_box].text());
    // 9.
    c["CLOSE_BUTTON"].set_caption("Close");
}

// --- Command lines and batch files ---

// Nothing is trimmed or escaped: the fields go into the line as typed, and
// only the two paths that stand alone as words are quoted when they hold a
// blank (the client's path is always quoted by its fixed pieces).
std::string SettingsWindow::compose_stop_command() const { return compose_line(*this, kStopTail); }

std::string SettingsWindow::compose_gbc_command() const { return compose_line(*this, kGbcTail); }

std::string SettingsWindow::compose_gcc_command() const { return compose_line(*this, kGccTail); }

void SettingsWindow::CLI_STOP_BAT_COMMAND_TIMER_Timer() {
    (*this)["VQCLI_STOP_COMMAND_TEXTBOX"].set_text(compose_stop_command());
}

void SettingsWindow::CLI_GBC_BAT_COMMAND_TIMER_Timer() {
    (*this)["VQCLI_GBC_COMMAND_TEXTBOX"].set_text(compose_gbc_command());
}

void SettingsWindow::CLI_GCC_BAT_COMMAND_TIMER_Timer() {
    (*this)["VQCLI_GCC_COMMAND_TEXTBOX"].set_text(compose_gcc_command());
}

void SettingsWindow::derive_bat_paths() {
    for (const auto& p : kBatchFiles) (*this)[p.full_path_box].set_text(full_path(p.file_name_box));
}

void SettingsWindow::SAVE_BATS_BUTTON_Click() {
    auto& c = *this;
    // The paths come from the working folder as it stands now, so the files
    // land in the folder the user sees even before "Save To Registry".
    derive_bat_paths();
    // The lines too are composed now, as the composers would on their next
    // tick: the displays may still show the previous second's fields, or
    // nothing at all in the first second after opening.
    const std::string lines[] = {compose_stop_command(), compose_gbc_command(), compose_gcc_command()};
    for (std::size_t i = 0; i < kBatchFiles.size(); ++i) c[kBatchFiles[i].display].set_text(lines[i]);
    // Each file is replaced whole or not at all; a failure ends the handler
    // there, leaving the files already written as they are.
    for (std::size_t i = 0; i < kBatchFiles.size(); ++i)
        services_.files.write_line(c[kBatchFiles[i].full_path_box].text(), lines[i]);
    c["CLOSE_BUTTON"].set_caption("Close");
}

// --- Option toggles ---

void SettingsWindow::DASH_DAEMON_TICKBOX_Click() {
    auto& c = *this;
    if (c["DASH_DAEMON_TICKBOX"].value() == 1) {
        c["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].set_text(" -daemon=1");
        c["DISABLE_DAEMON_TICKBOX"].set_enabled(true);
        return;
    }
    c["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].set_text("");
    c["DISABLE_DAEMON_TICKBOX"].set_enabled(false);
    c["DISABLE_DAEMON_TICKBOX"].set_value(0);
}

void SettingsWindow::DISABLE_DAEMON_TICKBOX_Click() {
    auto& c = *this;
    if (c["DISABLE_DAEMON_TICKBOX"].value() == 1) {
        c["DASH_DAEMON_TICKBOX"].set_enabled(false);
        c["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].set_text(" -daemon=0");
        return;
    }
    c["DASH_DAEMON_TICKBOX"].set_enabled(true);
    c["DASH_DISABLE_DAEMON_EQUALS_TEXTBOX"].set_text(" -daemon=1");
}

void SettingsWindow::set_action_box(std::string_view tick_box, std::string_view text_box) {
    auto& box = (*this)[text_box];
    const bool on = (*this)[tick_box].value() == 1;
    box.set_enabled(on);
    box.set_locked(!on);
    box.set_back_colour(on ? colours::window_background : colours::light_grey);
}

void SettingsWindow::UPDATE_EXTERNAL_FILE_TICKBOX_Click() {
    set_action_box("UPDATE_EXTERNAL_FILE_TICKBOX", "UPDATE_EXTERNAL_FILE_TEXTBOX");
}

void SettingsWindow::RUN_COMMAND_TICKBOX_Click() { set_action_box("RUN_COMMAND_TICKBOX", "RUN_COMMAND_TEXTBOX"); }

void SettingsWindow::AlwaysOnTopTimer_TICKBOX_Click() {
    const bool on = (*this)["AlwaysOnTopTimer_TICKBOX"].value() == 1;
    main_["AlwaysOnTopTimer"].set_enabled(on);
    main_["AlwaysOnTopTimer_TICKBOX"].set_value(on ? 1 : 0);
}

void SettingsWindow::VQ_CLI_UI_CREATOR_Click() { (*this)["VQ_CLI_UI_CREATOR"].set_caption(kCreatorContactLine); }

// --- Failures go to the main window's error path ---

void SettingsWindow::handler_failed(Control* control, const std::string& event, const std::exception& error) {
    const std::string operation = operation_name(control, event);
    main_.report_failure(operation, operation + " failed: " + error.what());
}

void SettingsWindow::handler_succeeded(Control* control, const std::string& event) {
    main_.clear_failure(operation_name(control, event));
}

}  // namespace vqd
