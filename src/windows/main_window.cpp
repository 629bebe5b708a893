#include "windows/main_window.h"

#include "platform/failure.h"
#include "windows/settings_window.h"

#include <algorithm>
#include <cstdio>

namespace vqd {

namespace {
constexpr int kStartCountdown = 11;  // "00:00:11"

// The five options the main window stores when it closes, in the order it
// reads and writes them.
constexpr std::string_view kStoredOptions[] = {"CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX",
                                               "AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX"};
constexpr std::string_view kHiddenTexts[] = {
    "RUN_COMMAND_TEXTBOX",
    "UPDATE_EXTERNAL_FILE_TEXTBOX",
    "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX",
    "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX",
    "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX",
    "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX",
    "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX",
};

// The buttons and the option tick boxes a run locks, in the order it locks them.
constexpr std::string_view kRunButtons[] = {"SETTINGS_BUTTON", "GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON",
                                            "SHUTDOWN_BUTTON"};
constexpr std::string_view kRunOptions[] = {"AUTOSTART_TICKBOX", "AUTOCLOSE_TIMER_TICKBOX", "CLI_GBC_BAT_TICKBOX",
                                            "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX"};

std::string two_digit_seconds(int total_seconds) {
    // The countdown is a time of day; "ss" shows its seconds field. Going below
    // zero wraps to the previous day, as a time value would.
    int s = ((total_seconds % 60) + 60) % 60;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02d", s);
    return buf;
}
}  // namespace

// Input carries its event's name ("Click", "Change", "<window>_Unload"), so a
// failure names the control's click or the window's close.
std::string operation_name(const Control* control, const std::string& event) {
    if (!control) return event;
    return control->name() + "_" + event;
}

MainWindow::MainWindow(Scheduler& scheduler, Services services)
    : Window("VQ_CLI_UI_MAIN", scheduler, inventory(), Rect{0, 0, 5190, 10275}),
      services_(services),
      settings_(services.store, services.executable) {
    on_click("START_STOP_BUTTON", [this] { START_STOP_BUTTON_Click(); });
    on_timer("COUNTDOWN_TIMER", [this] { COUNTDOWN_TIMER_Timer(); });
    on_timer("GETBLOCKCOUNT_COMMAND_TIMER", [this] { GETBLOCKCOUNT_COMMAND_TIMER_Timer(); });
    on_timer("GETCONNECTIONCOUNT_COMMAND_TIMER", [this] { GETCONNECTIONCOUNT_COMMAND_TIMER_Timer(); });
    on_click("GETBLOCKCOUNT_BUTTON", [this] { GETBLOCKCOUNT_BUTTON_Click(); });
    on_click("GETCONNECTIONCOUNT_BUTTON", [this] { GETCONNECTIONCOUNT_BUTTON_Click(); });
    on_timer("GET_LOOP_TIMER", [this] { GET_LOOP_TIMER_Timer(); });
    on_click("CLI_GBC_BAT_TICKBOX", [this] { CLI_GBC_BAT_TICKBOX_Click(); });
    on_click("CLI_GCC_BAT_TICKBOX", [this] { CLI_GCC_BAT_TICKBOX_Click(); });
    on_click("CLI_STOP_BAT_TICKBOX", [this] { CLI_STOP_BAT_TICKBOX_Click(); });
    on_click("AUTOSTART_TICKBOX", [this] { AUTOSTART_TICKBOX_Click(); });
    on_click("RUN_BAT_TICKBOX", [this] { RUN_BAT_TICKBOX_Click(); });
    on_click("SETTINGS_BUTTON", [this] { SETTINGS_BUTTON_Click(); });
    on_click("SHUTDOWN_BUTTON", [this] { SHUTDOWN_BUTTON_Click(); });
    on_timer("UNLOAD_TIMER", [this] { UNLOAD_TIMER_Timer(); });
    on_timer("CLI_PROCESS_WATCHER_TIMER", [this] { CLI_PROCESS_WATCHER_TIMER_Timer(); });
    on_timer("AlwaysOnTopTimer", [this] { AlwaysOnTopTimer_Timer(); });
    // Switched on again from the settings, it keeps ticking with the watcher.
    scheduler.share_grid((*this)["AlwaysOnTopTimer"], (*this)["CLI_PROCESS_WATCHER_TIMER"]);
}

MainWindow::~MainWindow() = default;

SettingsWindow* MainWindow::settings_window() const {
    return settings_window_ && !settings_window_->closed() ? settings_window_.get() : nullptr;
}

void MainWindow::start() {
    scheduler().run_handler(*this, nullptr, "Form_Load", [this] { load(); });
}

// --- Start-up ---

void MainWindow::load() {
    auto& c = *this;
    // 1. Placement.
    set_left(settings_.coordinate("MainLeft"));
    set_top(settings_.coordinate("MainTop"));
    set_width(settings_.coordinate("MainWidth"));
    set_height(settings_.coordinate("MainHeight"));
    // 2. Stored options; each restored tick runs its interlock before the next is read.
    for (auto key : kStoredOptions) c[key].set_value(settings_.tick(key));
    // 3. Hidden holders.
    c["CLI_NAME_TEXTBOX"].set_text(settings_.text("CLI_NAME_TEXTBOX"));
    c["UPDATE_EXTERNAL_FILE_TICKBOX"].set_value(settings_.tick("UPDATE_EXTERNAL_FILE_TICKBOX"));
    c["RUN_COMMAND_TICKBOX"].set_value(settings_.tick("RUN_COMMAND_TICKBOX"));
    for (auto key : kHiddenTexts) c[key].set_text(settings_.text(key));
    // 4. Always on top.
    c["AlwaysOnTopTimer_TICKBOX"].set_value(settings_.tick("AlwaysOnTopTimer_TICKBOX"));
    // 5, 6. Which configuration this is.
    const std::string exe = services_.executable.name();
    c["APP_EXE_NAME_LABEL"].set_caption(exe);
    set_caption("TARNWICK - VQ-DAZ-ER - " + exe);
    // 7. Countdown value.
    countdown_seconds_ = kStartCountdown;
    // 8. Timer intervals.
    c["AlwaysOnTopTimer"].set_interval(1000);
    c["COUNTDOWN_TIMER"].set_interval(1000);
    c["CLI_PROCESS_WATCHER_TIMER"].set_interval(1000);
    c["CLI_PROCESS_WATCHER_TIMER"].set_enabled(true);
    c["GETBLOCKCOUNT_COMMAND_TIMER"].set_interval(1000);
    c["GETCONNECTIONCOUNT_COMMAND_TIMER"].set_interval(1000);
    c["UNLOAD_TIMER"].set_interval(10000);
    c["GET_LOOP_TIMER"].set_interval(60000);
    // 9.
    c["AlwaysOnTopTimer"].set_enabled(c["AlwaysOnTopTimer_TICKBOX"].value() == 1);
    // 10. Control state by the stored options. A greyed option (Value 2, only
    // ever from the store) is neither 0 nor 1, so alone it selects none of the
    // three states and the button keeps its design caption.
    const int gbc = c["CLI_GBC_BAT_TICKBOX"].value();
    const int gcc = c["CLI_GCC_BAT_TICKBOX"].value();
    const int stop = c["CLI_STOP_BAT_TICKBOX"].value();
    const bool any_ticked = gbc == 1 || gcc == 1 || stop == 1;
    if (gbc == 0 && gcc == 0 && stop == 0) {
        c["AUTOSTART_TICKBOX"].set_enabled(false);
        c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);
        c["AUTOSTART_TICKBOX"].set_value(0);
        c["AUTOCLOSE_TIMER_TICKBOX"].set_value(0);
        c["GETBLOCKCOUNT_BUTTON"].set_enabled(false);
        c["GETCONNECTIONCOUNT_BUTTON"].set_enabled(false);
        c["START_STOP_BUTTON"].set_caption("START");
    } else if (any_ticked && c["AUTOSTART_TICKBOX"].value() == 1) {
        // The counting phase, locked as a press of START locks it.
        set_enabled(kRunButtons, false);
        c["COUNTDOWN_TIMER"].set_enabled(true);
        c["START_STOP_BUTTON"].set_caption("STOP");
        set_enabled(kRunOptions, false);
    } else if (any_ticked) {
        set_enabled(kRunButtons, true);
        set_enabled(kRunOptions, true);
        c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);  // usable only once Auto Start is ticked
        c["COUNTDOWN_TIMER"].set_enabled(false);
        c["START_STOP_BUTTON"].set_caption("START");
    }
    // A store that could not be read left every key at its default; say so
    // once, after the window is complete.
    if (!settings_.read_failure().empty())
        report_failure("read settings", "The stored settings could not be read; every setting took its default: " +
                                            settings_.read_failure());
    else
        report_hand_edits();
}

// --- Closing ---

void MainWindow::unload() {
    // Auto Close can fire while the settings window is open (STOP during the
    // settling wait gives the Settings button back): it closes as if cancelled.
    // Its own save failing must not cost the main window's.
    if (SettingsWindow* s = settings_window()) {
        const std::string settings_close = s->close_event();
        try {
            s->CLOSE_BUTTON_Click();
        } catch (const std::exception& e) {
            report_failure(settings_close, settings_close + " failed: " + e.what());
        }
    }
    Settings::Batch batch;
    batch.coordinate("MainLeft", left()).coordinate("MainTop", top());
    for (auto key : kStoredOptions) batch.tick(key, (*this)[key].value());
    settings_.save(batch);
}

// --- Start/stop sequence and countdown ---

void MainWindow::set_enabled(std::span<const std::string_view> names, bool on) {
    for (auto name : names) (*this)[name].set_enabled(on);
}

void MainWindow::START_STOP_BUTTON_Click() {
    auto& c = *this;
    const bool selected = c["CLI_GBC_BAT_TICKBOX"].value() != 0 || c["CLI_GCC_BAT_TICKBOX"].value() != 0 ||
                          c["CLI_STOP_BAT_TICKBOX"].value() != 0;
    if (!selected) {
        c["START_STOP_BUTTON"].set_caption("START");
        c["AUTOSTART_TICKBOX"].set_enabled(false);
        c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);
        c["AUTOSTART_TICKBOX"].set_value(0);
        c["AUTOCLOSE_TIMER_TICKBOX"].set_value(0);
        return;
    }
    if (c["START_STOP_BUTTON"].caption() == "START") {
        countdown_seconds_ = kStartCountdown;
        set_enabled(kRunButtons, false);
        c["COUNTDOWN_TIMER"].set_enabled(true);
        c["START_STOP_BUTTON"].set_caption("STOP");
        set_enabled(kRunOptions, false);
        return;
    }
    set_enabled(kRunButtons, true);
    c["COUNTDOWN_TIMER"].set_enabled(false);
    c["START_STOP_BUTTON"].set_caption("START");
    set_enabled(kRunOptions, true);
    c["GET_LOOP_TIMER"].set_enabled(false);
}

void MainWindow::COUNTDOWN_TIMER_Timer() {
    auto& c = *this;
    countdown_seconds_ -= 1;
    c["AUTORUN_TIMER_TEXTBOX"].set_text(two_digit_seconds(countdown_seconds_));
    if (c["AUTORUN_TIMER_TEXTBOX"].text() != "00") return;

    c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::cyan);
    c["AUTORUN_TIMER_TEXTBOX"].set_text("-- --");
    c["COUNTDOWN_TIMER"].set_enabled(false);
    if (c["CLI_GBC_BAT_TICKBOX"].value() == 1) {
        request_poll(kBlockPoll);
        c["UNLOAD_TIMER"].set_enabled(true);
    }
    if (c["CLI_GCC_BAT_TICKBOX"].value() == 1) {
        request_poll(kConnectionPoll);
        c["UNLOAD_TIMER"].set_enabled(true);
    }
    if (c["CLI_STOP_BAT_TICKBOX"].value() == 1) {
        c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::red);
        services_.runner.run(c["CLI_STOP_BAT_FULL_LOCATION_TEXTBOX"].text(), WindowStyle::Hidden);
        pause(3000);  // the only time the stop command gets before the run moves on
        c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::green);
        c["UNLOAD_TIMER"].set_enabled(true);
    }
}

// --- Polls ---

void MainWindow::request_poll(const PollControls& poll) {
    (*this)[poll.box].set_back_colour(colours::queued_pink);
    (*this)[poll.timer].set_enabled(true);
}

void MainWindow::read_count(const PollControls& poll, Colour after_reading) {
    auto& c = *this;
    auto& box = c[poll.box];
    pause(1000);
    services_.runner.run(c[poll.batch_file].text(), WindowStyle::Hidden);
    pause(3000);  // the client's time to write its log
    box.set_back_colour(colours::yellow);
    pause(1000);
    box.set_text(services_.files.read_whole(c[poll.log].text()));
    box.set_back_colour(after_reading);
    pause(1000);
}

void MainWindow::GETBLOCKCOUNT_COMMAND_TIMER_Timer() {
    auto& c = *this;
    read_count(kBlockPoll, colours::window_background);
    auto& box = c[kBlockPoll.box];
    if (c["UPDATE_EXTERNAL_FILE_TICKBOX"].value() == 1)
        services_.files.write_line(c["UPDATE_EXTERNAL_FILE_TEXTBOX"].text(), box.text());
    if (c["RUN_COMMAND_TICKBOX"].value() == 1)
        services_.runner.run(c["RUN_COMMAND_TEXTBOX"].text(), WindowStyle::NormalWithFocus);
    box.set_back_colour(colours::black);
    pause(1000);
    c[kBlockPoll.timer].set_enabled(false);
}

void MainWindow::GETCONNECTIONCOUNT_COMMAND_TIMER_Timer() {
    read_count(kConnectionPoll, colours::black);
    (*this)[kConnectionPoll.timer].set_enabled(false);
}

// --- Poll loop and options ---

void MainWindow::GETBLOCKCOUNT_BUTTON_Click() { request_poll(kBlockPoll); }

void MainWindow::GETCONNECTIONCOUNT_BUTTON_Click() { request_poll(kConnectionPoll); }

void MainWindow::GET_LOOP_TIMER_Timer() {
    auto& c = *this;
    for (const PollControls& poll : {kBlockPoll, kConnectionPoll}) {
        const bool on = c[poll.option].value() == 1;
        c[poll.box].set_back_colour(on ? colours::queued_pink : colours::black);
        c[poll.button].set_enabled(!on);
        c[poll.timer].set_enabled(on);
    }
}

bool MainWindow::auto_poll_option_clicked(const PollControls& own, const PollControls& other) {
    auto& c = *this;
    if (c[own.option].value() == 1) {
        c["AUTOSTART_TICKBOX"].set_enabled(true);
        c["CLI_STOP_BAT_TICKBOX"].set_enabled(false);
        c["CLI_STOP_BAT_TICKBOX"].set_value(0);
        c["GET_LOOP_TIMER"].set_enabled(true);
        return false;
    }
    if (c[own.option].value() != 0) return false;  // greyed (2): neither branch
    c["AUTOSTART_TICKBOX"].set_enabled(false);
    c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);
    c["AUTOSTART_TICKBOX"].set_value(0);
    c["AUTOCLOSE_TIMER_TICKBOX"].set_value(0);
    c["CLI_STOP_BAT_TICKBOX"].set_enabled(true);
    if (c[other.option].value() == 1) {
        c["GET_LOOP_TIMER"].set_enabled(true);
        c["CLI_STOP_BAT_TICKBOX"].set_enabled(false);
        c["CLI_STOP_BAT_TICKBOX"].set_value(0);
        c["AUTOSTART_TICKBOX"].set_enabled(true);
    }
    return c[other.option].value() == 0;
}

void MainWindow::CLI_GBC_BAT_TICKBOX_Click() {
    if (!auto_poll_option_clicked(kBlockPoll, kConnectionPoll)) return;
    (*this)[kConnectionPoll.option].set_enabled(true);
    (*this)["GET_LOOP_TIMER"].set_enabled(false);
}

void MainWindow::CLI_GCC_BAT_TICKBOX_Click() {
    if (!auto_poll_option_clicked(kConnectionPoll, kBlockPoll)) return;
    (*this)["GET_LOOP_TIMER"].set_enabled(false);
    (*this)["CLI_STOP_BAT_TICKBOX"].set_enabled(true);
}

void MainWindow::CLI_STOP_BAT_TICKBOX_Click() {
    auto& c = *this;
    if (c["CLI_STOP_BAT_TICKBOX"].value() == 1) {
        c["AUTOSTART_TICKBOX"].set_enabled(true);
        c["CLI_GBC_BAT_TICKBOX"].set_enabled(false);
        c["CLI_GCC_BAT_TICKBOX"].set_enabled(false);
        c["CLI_GBC_BAT_TICKBOX"].set_value(0);
        c["CLI_GCC_BAT_TICKBOX"].set_value(0);
        return;
    }
    if (c["CLI_STOP_BAT_TICKBOX"].value() != 0) return;
    c["AUTOSTART_TICKBOX"].set_enabled(false);
    c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);
    c["AUTOSTART_TICKBOX"].set_value(0);
    c["AUTOCLOSE_TIMER_TICKBOX"].set_value(0);
    c["CLI_GBC_BAT_TICKBOX"].set_enabled(true);
    c["CLI_GCC_BAT_TICKBOX"].set_enabled(true);
}

void MainWindow::AUTOSTART_TICKBOX_Click() {
    auto& c = *this;
    if (c["AUTOSTART_TICKBOX"].value() == 1) {
        c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(true);
        return;
    }
    c["AUTOCLOSE_TIMER_TICKBOX"].set_enabled(false);
    c["AUTOCLOSE_TIMER_TICKBOX"].set_value(0);
}

void MainWindow::RUN_BAT_TICKBOX_Click() {
    // The tick box only changes its own tick.
}

// --- Settings window ---

void MainWindow::SETTINGS_BUTTON_Click() {
    // A fresh window each time, in its design state; the previous one (closed)
    // is released here, never while one of its own handlers runs.
    auto window = std::make_unique<SettingsWindow>(scheduler(), services_, *this);
    window->load();  // a load that fails leaves no half-open window behind
    settings_window_ = std::move(window);
    open_modal_child(*settings_window_);
}

// --- Shutdown and auto-close ---

void MainWindow::SHUTDOWN_BUTTON_Click() {
    auto& c = *this;
    services_.runner.run(c["CLI_STOP_BAT_FULL_LOCATION_TEXTBOX"].text(), WindowStyle::Hidden);
    pause(3000);
    c["CLI_PROCESS_WATCHER_TIMER"].set_enabled(true);
    c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::queued_pink);
}

void MainWindow::UNLOAD_TIMER_Timer() {
    auto& c = *this;
    if (c["AUTOCLOSE_TIMER_TICKBOX"].value() == 1) {
        for (auto name : {"COUNTDOWN_TIMER", "GETBLOCKCOUNT_COMMAND_TIMER", "GETCONNECTIONCOUNT_COMMAND_TIMER",
                          "CLI_PROCESS_WATCHER_TIMER", "GET_LOOP_TIMER"})
            c[name].set_enabled(false);
        c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::red);
        close();
        return;
    }
    if (c["CLI_GBC_BAT_TICKBOX"].value() == 1 || c["CLI_GCC_BAT_TICKBOX"].value() == 1) {
        c["GET_LOOP_TIMER"].set_enabled(true);
        set_enabled(kRunButtons, false);
        c["START_STOP_BUTTON"].set_caption("STOP");
        for (auto name : {"CLI_GBC_BAT_TICKBOX", "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX"})
            c[name].set_enabled(false);
    }
    c["AUTORUN_TIMER_TEXTBOX"].set_back_colour(colours::queued_pink);
    c["COUNTDOWN_TIMER"].set_enabled(false);
    c["UNLOAD_TIMER"].set_enabled(false);
}

// --- Process watcher ---

bool MainWindow::IsProcessRunning(const std::string& name) { return services_.processes.count(name) != 0; }

void MainWindow::CLI_PROCESS_WATCHER_TIMER_Timer() {
    auto& c = *this;
    const bool running = IsProcessRunning(c["CLI_NAME_TEXTBOX"].text());
    auto& label = c["PROCESS_ACTIVE_LABEL"];
    label.set_back_colour(running ? colours::red : colours::green);
    label.set_caption(running ? "!!! CLI RUNNING !!!" : "!!! CLI NOT RUNNING !!!");
    for (auto name : {"SHUTDOWN_BUTTON", "GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON"})
        c[name].set_enabled(!running);
}

// --- Always on top ---

void MainWindow::AlwaysOnTopTimer_Timer() {
    const auto own = handle();
    if (services_.topmost.foreground_window() == own) return;
    services_.topmost.set_topmost(services_.topmost.foreground_window(), false);
    services_.topmost.set_topmost(own, true);
}

// --- Error path ---

void MainWindow::report_failure(const std::string& operation, const std::string& message) {
    // The watcher fails once a second for as long as its cause lasts; the log
    // gets that failure once, and again only after the operation has worked.
    auto known = std::find_if(failures_.begin(), failures_.end(), [&](const auto& f) { return f.first == operation; });
    if (known == failures_.end() || known->second != message) services_.errors.record(message);
    if (known == failures_.end())
        failures_.emplace_back(operation, message);
    else
        known->second = message;
    set_status(message);
}

// Lines a person edited into a shape no writer produces were read up to
// their line end; every other key is intact and saves go on, but the user
// should look at what was read there.
void MainWindow::report_hand_edits() {
    if (!settings_.read_failure().empty()) return;
    const auto notes = services_.store.read_notes(std::string(kApplication), settings_.section());
    if (notes.empty()) {
        clear_failure("read settings");
        return;
    }
    std::string message = "The settings file was edited by hand; check these lines: ";
    for (std::size_t i = 0; i < notes.size(); ++i) message += (i ? "; " : "") + notes[i];
    report_failure("read settings", message);
}

void MainWindow::clear_failure(const std::string& operation) {
    if (!std::erase_if(failures_, [&](const auto& f) { return f.first == operation; })) return;
    set_status(failures_.empty() ? std::string() : failures_.back().second);
}

void MainWindow::handler_failed(Control* control, const std::string& event, const std::exception& error) {
    const std::string operation = operation_name(control, event);
    // A failed poll would otherwise stay armed and fail again every second.
    for (const PollControls& poll : {kBlockPoll, kConnectionPoll}) {
        if (control && control->name() == poll.timer) {
            control->set_enabled(false);
            (*this)[poll.box].set_back_colour(colours::black);
        }
    }
    report_failure(operation, operation + " failed: " + error.what());
}

void MainWindow::handler_succeeded(Control* control, const std::string& event) {
    clear_failure(operation_name(control, event));
}

}  // namespace vqd
