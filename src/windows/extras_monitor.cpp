#include "windows/extras_monitor.h"

#include "windows/extras_settings.h"
#include "windows/extras_window.h"
#include "windows/main_window.h"

#include <algorithm>
#include <stdexcept>

namespace vqd {

namespace {
constexpr ControlDesign kMonitorInventory[] = {
    {.name = "EXTRAS_MONITOR_TIMER", .kind = ControlKind::Timer, .enabled = false},
};
}  // namespace

int title_band_bottom_twips(const Window& window) {
    int bottom = window.client_area().height;
    for (const Control* c : window.focus_order()) bottom = std::min(bottom, c->rect().top);
    return bottom;
}

std::span<const ControlDesign> ExtrasMonitor::inventory() { return kMonitorInventory; }

ExtrasMonitor::ExtrasMonitor(Scheduler& scheduler, Services services, Desktop desktop, MainWindow& main)
    : Window("VQ_EXTRAS_MONITOR", scheduler, inventory(), Rect{}),
      services_(services),
      desktop_(desktop),
      main_(main),
      watch_(main) {
    on_timer("EXTRAS_MONITOR_TIMER", [this] { EXTRAS_MONITOR_TIMER_Timer(); });
    // Its second-by-second work wakes the program together with the watcher.
    scheduler.share_grid((*this)["EXTRAS_MONITOR_TIMER"], main["CLI_PROCESS_WATCHER_TIMER"]);
    // A poll or a watcher change asks for a new file at the next tick, not at
    // once: the change arrives in the middle of a main window handler, whose
    // failure path must not receive a failed metrics write.
    watch_.on_change = [this] { metrics_due_ = true; };

    TrayIcon& tray = desktop_.tray;
    tray.menu = [this] { return tray_menu(); };
    tray.on_click = [this](TrayClick how) {
        if (how == TrayClick::Primary) {
            post("TrayIcon_Click", [this] { toggle_main_window(); });
            return;
        }
        // A double click's first click has already toggled it: the user wants the window.
        post("TrayIcon_DblClick", [this] {
            if (!main_.closed() && (main_.hidden() || main_.minimized())) main_.bring_forward();
        });
    };
    main_.on_context_click = [this](const Window::ContextClick& click) {
        if (click.y_twips < 0 || click.y_twips >= title_band_bottom_twips(main_)) return false;
        desktop_.tray.popup_menu(click.screen.x, click.screen.y);
        return true;
    };
    // The icon goes with the main window.
    main_observer_ = main_.observe([this](const Change& change) {
        if (change.control || change.prop != Prop::Closed) return;
        refresh_tray();
        update_timer();
    });
}

ExtrasMonitor::~ExtrasMonitor() {
    main_.unobserve(main_observer_);
    main_.on_context_click = nullptr;
    desktop_.tray.menu = nullptr;
    desktop_.tray.on_click = nullptr;
    if (desktop_.tray.shown()) desktop_.tray.hide();
}

void ExtrasMonitor::post(std::string event, std::function<void()> action) {
    Control* none = nullptr;
    scheduler().post_input(*this, none, std::move(event), std::move(action));
}

void ExtrasMonitor::update_timer() {
    auto& timer = (*this)["EXTRAS_MONITOR_TIMER"];
    timer.set_interval(1000);
    timer.set_enabled(tray_icon_wanted() || options_.health_cues || options_.metrics_file);
}

void ExtrasMonitor::start() {
    scheduler().run_handler(*this, nullptr, "Extras_Load", [this] {
        // Through the main window's settings, so a store that cannot be read
        // here also keeps every later save from replacing it.
        Settings& settings = main_.settings();
        const bool known_failure = !settings.read_failure().empty();
        options_ = load_extras_options(settings);
        update_timer();
        metrics_due_ = options_.metrics_file;
        refresh_tray();
        // The main window reported a failure of its own reads; a first one
        // here is reported here, once the options have their defaults.
        if (!known_failure && !settings.read_failure().empty())
            throw std::runtime_error("The stored settings could not be read; every option of the additions took "
                                     "its default: " + settings.read_failure());
    });
}

std::optional<std::string> ExtrasMonitor::metrics_path_refusal(const std::string& path) const {
    std::vector<FileInUse> in_use;
    for (auto& [what, file] : services_.errors.own_files()) in_use.push_back({what, file});
    static constexpr std::pair<const char*, const char*> kHolders[] = {
        {"CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", "the stop batch file"},
        {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "the block count batch file"},
        {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "the connection count batch file"},
        {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "the block count log"},
        {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "the connection count log"},
    };
    for (auto [holder, what] : kHolders) in_use.push_back({what, main_[holder].text()});
    return vqd::metrics_path_refusal(path, services_.files, in_use);
}

void ExtrasMonitor::apply_options(const ExtrasOptions& options) {
    if (options.metrics_file)
        if (auto refusal = metrics_path_refusal(options.metrics_path)) throw std::invalid_argument(*refusal);
    save_extras_options(main_.settings(), options);
    if (!options.health_cues) {
        cues_ = Cues{};
        announcer_.reset();
    }
    options_ = options;
    // A file just turned on (or moved) is written at the next tick, whatever changed.
    metrics_due_ = options_.metrics_file;
    update_timer();
    refresh_tray();
}

void ExtrasMonitor::EXTRAS_MONITOR_TIMER_Timer() {
    const std::int64_t now = scheduler().now();
    if (options_.health_cues) {
        const Cues next = evaluate_cues(watch_.state(), now, options_.stale_minutes);
        if (next != cues_) {
            cues_ = next;
            metrics_due_ = true;
        }
        for (const auto& a : announcer_.update(cues_, now, options_.stale_minutes))
            desktop_.notifier.notify(a.kind, a.summary, a.body);
    }
    // The tooltip's ages move on by themselves, and a notification area that
    // appeared (or came back) since the last tick takes the icon now.
    refresh_tray();
    if (options_.metrics_file && metrics_due_) write_metrics();
}

bool ExtrasMonitor::tray_icon_wanted() const { return !options_.tray_icon_off && !main_.closed(); }

void ExtrasMonitor::refresh_tray() {
    TrayIcon& tray = desktop_.tray;
    if (!tray_icon_wanted()) {
        if (tray.shown()) tray.hide();
        return;
    }
    tray.show(cue_raised() ? TrayPicture::Cue : TrayPicture::Plain, tooltip());
}

void ExtrasMonitor::toggle_main_window() {
    if (main_.closed()) return;
    if (main_.hidden() || main_.minimized()) main_.bring_forward();
    else main_.set_hidden(true);
}

void ExtrasMonitor::write_metrics() {
    // Checked at every write: the main window's batch files and logs may
    // have moved onto this path since the option was saved.
    if (auto refusal = metrics_path_refusal(options_.metrics_path)) throw std::invalid_argument(*refusal);
    // The file is written whole beside itself and renamed, so a collector
    // reading it at any moment sees the previous file or this one.
    services_.files.write_whole(options_.metrics_path,
                                metrics_text(services_.executable.name(), watch_.state(), cues_, options_.health_cues,
                                             scheduler().now()));
    metrics_due_ = false;
}

std::string ExtrasMonitor::tooltip() const {
    return tooltip_text(services_.executable.name(), watch_.state(), cues_, options_.health_cues, scheduler().now());
}

std::vector<MenuEntry> ExtrasMonitor::tray_menu() {
    std::vector<MenuEntry> items;
    const bool in_sight = !main_.hidden() && !main_.minimized();
    items.push_back({in_sight ? "Hide" : "Show", !main_.closed(), [this] {
                         post("ShowHide_Click", [this] { toggle_main_window(); });
                     }});
    items.push_back({});
    const bool open = main_.accepts_input();
    for (auto name : {"GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON", "START_STOP_BUTTON"}) {
        Control& button = main_[name];
        items.push_back({button.caption(), open && button.enabled(), [this, &button] { main_.post_click(button); }});
    }
    items.push_back({"Extras...", true, [this] { open_extras(); }});
    items.push_back({});
    items.push_back({"Quit", open, [this] { main_.post_close(); }});
    return items;
}

ExtrasWindow* ExtrasMonitor::extras_window() const { return extras_ && !extras_->closed() ? extras_.get() : nullptr; }

void ExtrasMonitor::open_extras() {
    Control* none = nullptr;
    scheduler().post_input(*this, none, "OpenExtras", [this] {
        if (!extras_window()) {
            // A fresh window each time; the closed one goes here, never inside
            // one of its own handlers.
            auto window = std::make_unique<ExtrasWindow>(scheduler(), *this);
            window->load();
            extras_ = std::move(window);
        }
        if (on_extras_opened) on_extras_opened(*extras_);
    });
}

void ExtrasMonitor::handler_failed(Control* control, const std::string& event, const std::exception& error) {
    const std::string operation = operation_name(control, event);
    main_.report_failure(operation, operation + " failed: " + error.what());
}

void ExtrasMonitor::handler_succeeded(Control* control, const std::string& event) {
    main_.clear_failure(operation_name(control, event));
}

}  // namespace vqd
