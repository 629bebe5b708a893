// The main window: the node's counts at a glance, the automatic run, the
// process watcher, and the hidden holders of the configuration the handlers use.
//
// Handlers are named after control and event and read as the steps they carry
// out. Rules used by several handlers (request a poll, lock the run's controls)
// are the private helpers below.
#pragma once

#include "model/window.h"
#include "platform/platform.h"
#include "windows/settings.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vqd {

class SettingsWindow;

class MainWindow final : public Window {
public:
    MainWindow(Scheduler& scheduler, Services services);
    ~MainWindow() override;

    static std::span<const ControlDesign> inventory();

    // Program start: runs the load handling as the first handler. The window is
    // shown by the front end after this returns.
    void start();

    void load() override;
    void unload() override;

    // The countdown value, in whole seconds (the display shows it as "ss").
    int countdown_seconds() const { return countdown_seconds_; }
    // The settings window while it is open, else nullptr.
    SettingsWindow* settings_window() const;
    Settings& settings() { return settings_; }

    // --- Handlers ---
    void START_STOP_BUTTON_Click();
    void COUNTDOWN_TIMER_Timer();
    void GETBLOCKCOUNT_COMMAND_TIMER_Timer();
    void GETCONNECTIONCOUNT_COMMAND_TIMER_Timer();
    void GETBLOCKCOUNT_BUTTON_Click();
    void GETCONNECTIONCOUNT_BUTTON_Click();
    void GET_LOOP_TIMER_Timer();
    void CLI_GBC_BAT_TICKBOX_Click();
    void CLI_GCC_BAT_TICKBOX_Click();
    void CLI_STOP_BAT_TICKBOX_Click();
    void AUTOSTART_TICKBOX_Click();
    void RUN_BAT_TICKBOX_Click();
    void SETTINGS_BUTTON_Click();
    void SHUTDOWN_BUTTON_Click();
    void UNLOAD_TIMER_Timer();
    void CLI_PROCESS_WATCHER_TIMER_Timer();
    void AlwaysOnTopTimer_Timer();

    // --- Error path ---
    // A failure inside a handler: recorded in the error log, shown in the
    // status strip until the same operation next succeeds.
    void report_failure(const std::string& operation, const std::string& message);
    void clear_failure(const std::string& operation);
    // Names the settings file's hand-edited lines (read up to their line
    // end) on the error path, or clears that report once a save has
    // rewritten them; a store that could not be read at all keeps its report.
    void report_hand_edits();
    void handler_failed(Control* control, const std::string& event, const std::exception& error) override;
    void handler_succeeded(Control* control, const std::string& event) override;

private:
    bool IsProcessRunning(const std::string& name);
    // The controls of one kind of poll: its option, count box, button, one-shot
    // timer, and the holders of its batch file's and its log's full paths.
    struct PollControls {
        std::string_view option, box, button, timer, batch_file, log;
    };
    static constexpr PollControls kBlockPoll{"CLI_GBC_BAT_TICKBOX",         "CURRENT_BLOCK_TEXTBOX",
                                             "GETBLOCKCOUNT_BUTTON",        "GETBLOCKCOUNT_COMMAND_TIMER",
                                             "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX"};
    static constexpr PollControls kConnectionPoll{"CLI_GCC_BAT_TICKBOX",         "CONNECTIONS_TEXTBOX",
                                                  "GETCONNECTIONCOUNT_BUTTON",   "GETCONNECTIONCOUNT_COMMAND_TIMER",
                                                  "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX",
                                                  "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX"};

    void set_enabled(std::span<const std::string_view> names, bool on);
    void request_poll(const PollControls& poll);
    // The steps both auto-poll options share; true when both ended unticked,
    // for the one step in which the two differ.
    bool auto_poll_option_clicked(const PollControls& own, const PollControls& other);
    // A poll's first stages: run its batch file, wait for the log, show it.
    void read_count(const PollControls& poll, Colour after_reading);
    void pause(int ms) { scheduler().wait(ms); }

    Services services_;
    Settings settings_;
    int countdown_seconds_ = 11;
    std::unique_ptr<SettingsWindow> settings_window_;
    // Unresolved failures, oldest first: operation and its latest message.
    std::vector<std::pair<std::string, std::string>> failures_;
};

// Name of the operation a handler performs, as the error path reports it. A
// window-level input is the window system's close command: "<window>_Unload".
std::string operation_name(const Control* control, const std::string& event);

}  // namespace vqd
