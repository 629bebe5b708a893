// The main window's controls, one row each, as designed. The visible band ends
// at Top 3135; everything from Top 4440 down holds state for the handlers and
// lies outside the window at its default size.
#include "windows/main_window.h"

namespace vqd {

namespace {
using K = ControlKind;
constexpr Font kTitleFont{"MS Sans Serif", 12, 700};
constexpr Font kLabelFont{"MS Sans Serif", 8.25, 700};
constexpr Font kCountFont{"Arial Black", 9.75, 900};
constexpr Font kCountdownFont{"Arial Black", 14.25, 900};
constexpr Font kArialBold825{"Arial", 8.25, 700};
constexpr Font kArialBold975{"Arial", 9.75, 700};
constexpr Colour kGreen = colours::green;
constexpr Colour kBlack = colours::black;

constexpr ControlDesign kMainInventory[] = {
    // --- Visible band ---
    {.name = "VQ_CLI_UI_TITLE", .kind = K::Label, .text = "VQ-DAZ-ER", .rect = {120, 120, 1455, 360},
     .fore = kGreen, .back = kBlack, .font = kTitleFont},
    {.name = "APP_EXE_NAME_LABEL", .kind = K::Label, .text = "APP_EXE_NAME_LABEL", .rect = {1680, 120, 3375, 360},
     .fore = kGreen, .back = kBlack, .font = kTitleFont},
    {.name = "AUTOSTART_TICKBOX", .kind = K::TickBox, .text = "Auto Start", .rect = {240, 600, 1095, 255},
     .tab_index = 1},
    {.name = "AlwaysOnTopTimer_TICKBOX", .kind = K::TickBox, .text = "Always On Top", .rect = {1560, 600, 855, 495},
     .value = 1, .tab_index = 3},
    {.name = "CLI_STOP_BAT_TICKBOX", .kind = K::TickBox, .text = "AutoSend STOP Command",
     .rect = {2520, 600, 2295, 255}, .tab_index = 4},
    {.name = "AUTOCLOSE_TIMER_TICKBOX", .kind = K::TickBox, .text = "Auto Close", .rect = {240, 960, 1095, 255},
     .enabled = false, .tab_index = 2},
    {.name = "CLI_GBC_BAT_TICKBOX", .kind = K::TickBox, .text = "Auto G-B-C", .rect = {2520, 960, 1215, 255},
     .tooltip = "Auto GetBlockCount Every 60 Seconds", .tab_index = 5},
    {.name = "CLI_GCC_BAT_TICKBOX", .kind = K::TickBox, .text = "Auto G-C-C", .rect = {3840, 960, 1215, 255},
     .tooltip = "Auto GetConnectionCount Every 60 Seconds", .tab_index = 6},
    {.name = "GETBLOCKCOUNT_BUTTON", .kind = K::Button, .text = "G-B-C", .rect = {240, 1320, 855, 375},
     .tooltip = "GetBlockCount", .tab_index = 7},
    {.name = "CURRENT_BLOCK_LABEL", .kind = K::Label, .text = "Current Block:", .rect = {1200, 1440, 1335, 255},
     .font = kLabelFont},
    {.name = "CURRENT_BLOCK_TEXTBOX", .kind = K::TextBox, .text = "-- -- -- -- -- -- --",
     .rect = {2400, 1320, 2655, 390}, .fore = kGreen, .back = kBlack, .font = kCountFont, .locked = true},
    {.name = "GETCONNECTIONCOUNT_BUTTON", .kind = K::Button, .text = "G-C-C", .rect = {240, 1800, 855, 375},
     .tooltip = "GetConnectionCount", .tab_index = 8},
    {.name = "Label1", .kind = K::Label, .text = "Connections:", .rect = {1200, 1920, 1215, 255}, .font = kLabelFont},
    {.name = "CONNECTIONS_TEXTBOX", .kind = K::TextBox, .text = "-- -- -- -- -- -- --",
     .rect = {2400, 1800, 2655, 390}, .fore = kGreen, .back = kBlack, .font = kCountFont, .locked = true},
    {.name = "PROCESS_ACTIVE_LABEL", .kind = K::Label, .text = "!!! NOT MONITORING !!!",
     .rect = {240, 2280, 4815, 255}, .back = colours::cyan, .font = kArialBold825},
    {.name = "SETTINGS_BUTTON", .kind = K::Button, .text = "Settings", .rect = {240, 2640, 855, 495},
     .tab_index = 10},
    {.name = "SHUTDOWN_BUTTON", .kind = K::Button, .text = "SHUTDOWN DAEMON / QT", .rect = {1320, 2640, 1455, 495},
     .tab_index = 9},
    {.name = "AUTORUN_TIMER_TEXTBOX", .kind = K::TextBox, .text = "-- --", .rect = {3000, 2640, 735, 525},
     .back = colours::queued_pink, .font = kCountdownFont, .locked = true},
    {.name = "START_STOP_BUTTON", .kind = K::Button, .text = "START- STOP", .rect = {3960, 2640, 975, 495},
     .tab_index = 0},

    // --- Hidden state holders ---
    {.name = "CLI_NAME_LABEL", .kind = K::Label, .text = "DAEMON-CLI.EXE - Filename - eg bitcoin-cli.exe",
     .rect = {480, 4440, 4455, 255}, .font = kLabelFont},
    {.name = "CLI_NAME_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {480, 4680, 2415, 375}},
    {.name = "UPDATE_EXTERNAL_FILE_TICKBOX", .kind = K::TickBox,
     .text = "Also Update External File When BlockCount Changes", .rect = {360, 6840, 5415, 255},
     .font = kArialBold975},
    {.name = "UPDATE_EXTERNAL_FILE_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {240, 7080, 5775, 375},
     .enabled = false, .locked = true},
    {.name = "RUN_COMMAND_TICKBOX", .kind = K::TickBox, .text = "Also Run Command When BlockCount Changes",
     .rect = {240, 7560, 4815, 255}, .font = kArialBold975},
    {.name = "RUN_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 7800, 5775, 375},
     .enabled = false, .locked = true},
    {.name = "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX",
     .rect = {120, 8280, 3615, 375}},
    {.name = "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX",
     .rect = {120, 8640, 3615, 375}},
    {.name = "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX",
     .rect = {120, 9000, 3615, 375}},
    {.name = "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX",
     .rect = {120, 9480, 3615, 375}},
    {.name = "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX",
     .rect = {120, 9840, 3615, 375}},

    // --- Hidden controls that carry no behaviour ---
    {.name = "RUN_BAT_TICKBOX", .kind = K::TickBox, .text = "RUN .BAT", .rect = {480, 5160, 1215, 255}},
    {.name = "USE_CLI_BAT_TICKBOX", .kind = K::TickBox, .text = "CLI", .rect = {1800, 5160, 615, 255},
     .enabled = false},
    {.name = "RUN_EXE_TICKBOX", .kind = K::TickBox, .text = "RUN EXE", .rect = {480, 5520, 1215, 255}},
    {.name = "USE_CLI_EXE_TICKBOX", .kind = K::TickBox, .text = "CLI", .rect = {1680, 5520, 615, 255},
     .enabled = false},
    {.name = "CLI_STOP_EXE_TICKBOX", .kind = K::TickBox, .text = "Auto STOP", .rect = {2400, 5520, 1215, 255},
     .enabled = false},
    {.name = "CLI_GBC_EXE_TICKBOX", .kind = K::TickBox, .text = "Auto G-B-C", .rect = {3600, 5520, 1095, 255},
     .enabled = false},
    {.name = "LAUNCH_BUTTON", .kind = K::Button, .text = "LAUNCH", .rect = {3360, 4920, 1095, 495}},
    {.name = "Text1", .kind = K::TextBox, .text = "external file view", .rect = {240, 5880, 4815, 375}},

    // --- Timers: Interval 0 at design, so none ticks before start-up sets them ---
    {.name = "AlwaysOnTopTimer", .kind = K::Timer, .enabled = true},
    {.name = "CLI_PROCESS_WATCHER_TIMER", .kind = K::Timer, .enabled = true},
    {.name = "COUNTDOWN_TIMER", .kind = K::Timer, .enabled = false},
    {.name = "GETBLOCKCOUNT_COMMAND_TIMER", .kind = K::Timer, .enabled = false},
    {.name = "GETCONNECTIONCOUNT_COMMAND_TIMER", .kind = K::Timer, .enabled = false},
    {.name = "UNLOAD_TIMER", .kind = K::Timer, .enabled = false},
    {.name = "GET_LOOP_TIMER", .kind = K::Timer, .enabled = false},
};
}  // namespace

std::span<const ControlDesign> MainWindow::inventory() { return kMainInventory; }

}  // namespace vqd
