// The Extras window's controls, one row each.
#include "windows/extras_window.h"

namespace vqd {

namespace {
using K = ControlKind;
constexpr Font kLabelFont{"MS Sans Serif", 8.25, 700};

constexpr ControlDesign kExtrasInventory[] = {
    {.name = "TRAY_ICON_OFF_TICKBOX", .kind = K::TickBox, .text = "No tray icon", .rect = {240, 240, 2415, 255},
     .tooltip = "Hide the icon in the notification area", .tab_index = 0},
    {.name = "START_AT_LOGIN_TICKBOX", .kind = K::TickBox, .text = "Start at login", .rect = {2880, 240, 2295, 255},
     .tooltip = "Start this program (under this name) when you log in", .tab_index = 1},
    {.name = "HEALTH_CUES_TICKBOX", .kind = K::TickBox, .text = "Health cues: stale tip, no peers, silent client",
     .rect = {240, 600, 4935, 255}, .tab_index = 2},
    {.name = "STALE_MINUTES_LABEL", .kind = K::Label, .text = "Stale tip after (minutes):",
     .rect = {480, 990, 2415, 255}, .font = kLabelFont},
    {.name = "STALE_MINUTES_TEXTBOX", .kind = K::TextBox, .text = "30", .rect = {2940, 930, 855, 375},
     .tab_index = 3},
    {.name = "METRICS_FILE_TICKBOX", .kind = K::TickBox, .text = "Write a metrics file after each change",
     .rect = {240, 1500, 4935, 255}, .tooltip = "Prometheus text format, for the node exporter's textfile collector",
     .tab_index = 4},
    {.name = "METRICS_PATH_LABEL", .kind = K::Label, .text = "Full path of the file (ending in .prom):",
     .rect = {480, 1860, 4695, 255}, .font = kLabelFont},
    {.name = "METRICS_PATH_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {480, 2130, 4695, 375}, .tab_index = 5},
    {.name = "SAVE_BUTTON", .kind = K::Button, .text = "Save", .rect = {2640, 2760, 1215, 435}, .tab_index = 6},
    {.name = "CLOSE_BUTTON", .kind = K::Button, .text = "Close", .rect = {3960, 2760, 1215, 435}, .tab_index = 7},
};
}  // namespace

std::span<const ControlDesign> ExtrasWindow::inventory() { return kExtrasInventory; }

}  // namespace vqd
