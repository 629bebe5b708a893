// The additions at run time: a window model without a view whose one timer
// evaluates the health cues, announces them, writes the metrics file and
// keeps the tray icon in step; the icon's menu and what its clicks mean; the
// main window's title band menu; and the Extras window it opens.
//
// It runs on the main window's scheduler and reports failures through the
// main window's error path, like the settings window. Its timer runs only
// while the tray icon, health cues or the metrics file are wanted; with all
// three off the program's handlers run exactly as they would without it.
// The desktop's tray icon only draws what this decides and reports clicks;
// menu actions post input through the scheduler (clicks on the main window's
// own controls, so they obey the controls' Enabled states and its order).
#pragma once

#include "extras/announcements.h"
#include "extras/extras_options.h"
#include "extras/health.h"
#include "extras/node_watch.h"
#include "model/window.h"
#include "platform/desktop.h"
#include "platform/platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vqd {

class MainWindow;
class ExtrasWindow;

// The bottom of a window's title band, in twips: the strip above the first
// control the keyboard reaches (on the main window, its name in green on
// black), where a right click offers the tray's menu.
int title_band_bottom_twips(const Window& window);

class ExtrasMonitor final : public Window {
public:
    ExtrasMonitor(Scheduler& scheduler, Services services, Desktop desktop, MainWindow& main);
    ~ExtrasMonitor() override;

    static std::span<const ControlDesign> inventory();

    // After the main window's start: reads the options and starts the timer if wanted.
    void start();

    const Services& services() const { return services_; }
    // The icon, the notifications and starting at login, as this front end has them.
    Desktop& desktop() { return desktop_; }
    MainWindow& main_window() const { return main_; }
    const ExtrasOptions& options() const { return options_; }
    // Stores the options and applies them at once (from the Extras window's Save).
    // Throws, storing and applying nothing, when the metrics file is on and
    // its path is refused, or when the store refuses the save.
    void apply_options(const ExtrasOptions& options);
    // Why the metrics file cannot go to `path`, or nothing: it must be a full
    // path and none of the program's own files (the settings file, the error
    // log, the batch files and logs the main window holds the paths of).
    std::optional<std::string> metrics_path_refusal(const std::string& path) const;

    const NodeState& node() const { return watch_.state(); }
    const Cues& cues() const { return cues_; }
    // The icon shows while it is wanted and the main window is open (hidden or not).
    bool tray_icon_wanted() const;
    // The cues as the tray shows them: none while cues are off.
    bool cue_raised() const { return options_.health_cues && cues_.any(); }
    std::string tooltip() const;
    // Show or Hide, G-B-C, G-C-C, START/STOP, Extras..., Quit, with their
    // present state, separators after Show/Hide and before Quit. The icon's
    // menu and the title band's.
    std::vector<MenuEntry> tray_menu();

    // Opens the Extras window through the scheduler (or brings the open one
    // forward); the front end learns of it through on_extras_opened.
    void open_extras();
    ExtrasWindow* extras_window() const;
    std::function<void(ExtrasWindow&)> on_extras_opened;

    // --- Handlers ---
    void EXTRAS_MONITOR_TIMER_Timer();

    void handler_failed(Control* control, const std::string& event, const std::exception& error) override;
    void handler_succeeded(Control* control, const std::string& event) override;

private:
    void write_metrics();
    void refresh_tray();
    void update_timer();
    void post(std::string event, std::function<void()> action);
    void toggle_main_window();

    Services services_;
    Desktop desktop_;
    MainWindow& main_;
    NodeWatch watch_;
    ExtrasOptions options_;
    Cues cues_;
    Announcer announcer_;
    int main_observer_ = 0;
    bool metrics_due_ = false;
    std::unique_ptr<ExtrasWindow> extras_;
};

}  // namespace vqd
