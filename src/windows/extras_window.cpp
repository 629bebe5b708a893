#include "windows/extras_window.h"

#include "extras/extras_options.h"
#include "platform/desktop.h"
#include "windows/extras_monitor.h"
#include "windows/main_window.h"

#include <stdexcept>

namespace vqd {

namespace {
constexpr Rect kClientArea{0, 0, 5415, 3435};
// The frame around the client area, in twips, as a window of the program's
// own kind draws it; the front end refits it to the real frame.
constexpr int kFrameWidth = 120, kFrameHeight = 510;
}  // namespace

ExtrasWindow::ExtrasWindow(Scheduler& scheduler, ExtrasMonitor& monitor)
    : Window("VQ_EXTRAS", scheduler, inventory(), kClientArea), monitor_(monitor) {
    on_click("SAVE_BUTTON", [this] { SAVE_BUTTON_Click(); });
    on_click("CLOSE_BUTTON", [this] { CLOSE_BUTTON_Click(); });
}

void ExtrasWindow::load() {
    auto& c = *this;
    const ExtrasOptions& o = monitor_.options();
    const Window& main = monitor_.main_window();
    // Beside the main window, not over it: with Always On Top the main window
    // would cover it.
    set_left(main.left() + main.width());
    set_top(main.top());
    set_width(float(kClientArea.width + kFrameWidth));
    set_height(float(kClientArea.height + kFrameHeight));
    set_caption("Extras - " + monitor_.services().executable.name());
    c["TRAY_ICON_OFF_TICKBOX"].set_value(o.tray_icon_off ? 1 : 0);
    c["HEALTH_CUES_TICKBOX"].set_value(o.health_cues ? 1 : 0);
    c["STALE_MINUTES_TEXTBOX"].set_text(std::to_string(o.stale_minutes));
    c["METRICS_FILE_TICKBOX"].set_value(o.metrics_file ? 1 : 0);
    c["METRICS_PATH_TEXTBOX"].set_text(o.metrics_path);
    // The session's start-up list, not the stored key: the user may have
    // removed or disabled the entry there since.
    try {
        c["START_AT_LOGIN_TICKBOX"].set_value(monitor_.desktop().start_at_login.enabled() ? 1 : 0);
    } catch (const std::exception& e) {
        c["START_AT_LOGIN_TICKBOX"].set_value(0);
        handler_failed(&c["START_AT_LOGIN_TICKBOX"], "Read", e);
    }
}

void ExtrasWindow::SAVE_BUTTON_Click() {
    auto& c = *this;
    ExtrasOptions o;
    o.tray_icon_off = c["TRAY_ICON_OFF_TICKBOX"].value() == 1;
    o.health_cues = c["HEALTH_CUES_TICKBOX"].value() == 1;
    const auto minutes = parse_stale_minutes(c["STALE_MINUTES_TEXTBOX"].text());
    if (!minutes)
        throw std::invalid_argument("stale tip minutes must be a whole number from 1 to " +
                                    std::to_string(kMaxStaleMinutes));
    o.stale_minutes = *minutes;
    o.metrics_file = c["METRICS_FILE_TICKBOX"].value() == 1;
    o.metrics_path = c["METRICS_PATH_TEXTBOX"].text();
    o.start_at_login = c["START_AT_LOGIN_TICKBOX"].value() == 1;
    if (o.metrics_file)
        if (auto refusal = monitor_.metrics_path_refusal(o.metrics_path)) throw std::invalid_argument(*refusal);
    // The entry first: when it cannot be written the keys stay as they were.
    // When the keys then cannot be saved, the entry goes back to how it was.
    StartAtLogin& login = monitor_.desktop().start_at_login;
    const bool was = login.enabled();
    if (o.start_at_login != was) login.set_enabled(o.start_at_login);
    try {
        monitor_.apply_options(o);
    } catch (...) {
        if (o.start_at_login != was) {
            try {
                login.set_enabled(was);
            } catch (const std::exception&) {
                // The save's own failure is the one to report.
            }
        }
        throw;
    }
    close();
}

void ExtrasWindow::CLOSE_BUTTON_Click() { close(); }

void ExtrasWindow::handler_failed(Control* control, const std::string& event, const std::exception& error) {
    const std::string message = operation_name(control, event) + " failed: " + error.what();
    monitor_.services().errors.record(message);
    set_status(message);
}

}  // namespace vqd
