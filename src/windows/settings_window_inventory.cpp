// The settings window's controls, one row each, as designed. At the window's
// default size only the band down to the bottom row of buttons (Top 6120,
// Height 615) is on screen; everything from Top 7080 down holds the pieces of
// the command lines, the file names and the full paths, and lies below the
// visible area.
#include "windows/settings_window.h"

namespace vqd {

namespace {
using K = ControlKind;
constexpr Font kHeaderFont{"MS Sans Serif", 12, 700};
constexpr Font kCaptionFont{"MS Sans Serif", 8.25, 700};
constexpr Font kHelpFont{"MS Sans Serif", 9.75, 400};
constexpr Font kTickFont{"Arial", 9.75, 700};
constexpr Colour kGreen = colours::green;
constexpr Colour kBlack = colours::black;
constexpr Colour kGrey = colours::light_grey;

// The hidden pieces sit in two columns under the visible band, 360 twips apart.
constexpr int kPieceTop = 7200;
constexpr int kPieceStep = 360;
constexpr Rect piece(int column, int row) { return {120 + column * 2520, kPieceTop + row * kPieceStep, 2415, 285}; }

constexpr ControlDesign kSettingsInventory[] = {
    // --- Header ---
    {.name = "VQ_CLI_UI_TITLE", .kind = K::Label, .text = "TARNWICK - VQ-DAZ-ER", .rect = {120, 120, 11775, 360},
     .fore = kGreen, .back = kBlack, .font = kHeaderFont},
    {.name = "VQ_QTD_VERSION", .kind = K::Label, .text = "Version 1.0", .rect = {120, 480, 3135, 345},
     .fore = kGreen, .back = kBlack, .font = kHeaderFont},
    {.name = "VQ_CLI_UI_CREATOR", .kind = K::Label, .text = kCreatorCreditLine, .rect = {3360, 480, 5415, 330},
     .fore = kGreen, .back = kBlack, .font = kHeaderFont},

    // --- Input block: captions, fields, lines ---
    {.name = "VQ_CLI_UI_FOLDER_LABEL", .kind = K::Label, .text = "VQ-DAZ-ER  FOLDER - eg C:\\TARNWICK\\VQ-DAZ-ER\\BTC",
     .rect = {120, 960, 5775, 255}, .font = kCaptionFont},
    {.name = "CLI_LOCATION_LABEL", .kind = K::Label, .text = "CLI Folder- eg C:\\Program Files\\Bitcoin\\Daemon",
     .rect = {6120, 960, 5775, 255}, .font = kCaptionFont},
    {.name = "CONF_LOCATION_LABEL", .kind = K::Label,
     .text = "WALLET.CONF - File Location - eg C:\\BC-CONF\\BTC\\bitcoin.conf", .rect = {120, 1800, 5775, 255},
     .font = kCaptionFont},
    {.name = "DAEMOND_NAME_LABEL", .kind = K::Label, .text = "CLI Filename - eg bitcoin-cli.exe",
     .rect = {6120, 1800, 3375, 255}, .font = kCaptionFont},
    {.name = "Line1", .kind = K::Line, .rect = {6000, 840, 6000, 3360}},
    {.name = "Line2", .kind = K::Line, .rect = {120, 1680, 6000, 1680}},
    {.name = "Line4", .kind = K::Line, .rect = {120, 2520, 11880, 2520}},
    {.name = "Line3", .kind = K::Line, .rect = {120, 3360, 11760, 3360}},

    {.name = "VQ_CLI_UI_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 1200, 5775, 375},
     .tab_index = 1},
    {.name = "CLI_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {6120, 1200, 5775, 375},
     .tab_index = 5},
    {.name = "CONF_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 2040, 5775, 375},
     .tab_index = 2},
    {.name = "CLI_NAME_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {6120, 2040, 4215, 375}, .tab_index = 6},
    {.name = "DASH_DAEMON_TICKBOX", .kind = K::TickBox, .text = "Daemon", .rect = {10560, 1920, 1215, 255},
     .font = kTickFont, .tooltip = "disablewallet=", .tab_index = 7},
    {.name = "DISABLE_DAEMON_TICKBOX", .kind = K::TickBox, .text = "Disabled", .rect = {10560, 2160, 1215, 255},
     .font = kTickFont, .tooltip = "!!! DISABLES ALL WALLET FUNCTIONALITY !!!", .enabled = false, .tab_index = 8},
    {.name = "UPDATE_EXTERNAL_FILE_TICKBOX", .kind = K::TickBox,
     .text = "Also Update External File When BlockCount Changes", .rect = {240, 2640, 5415, 255},
     .font = kTickFont, .tab_index = 3},
    {.name = "UPDATE_EXTERNAL_FILE_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 2880, 5775, 375},
     .back = kGrey, .enabled = false, .locked = true, .tab_index = 4},
    {.name = "RUN_COMMAND_TICKBOX", .kind = K::TickBox, .text = "Also Run Command When BlockCount Changes",
     .rect = {6240, 2640, 4815, 255}, .font = kTickFont, .tab_index = 9},
    {.name = "RUN_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {6120, 2880, 5775, 375},
     .back = kGrey, .enabled = false, .locked = true, .tab_index = 10},

    // --- Generated-command displays under their captions ---
    {.name = "VQCLI_STOP_COMMAND_LABEL", .kind = K::Label, .text = "!!! GENERATED RUN COMMAND -  DAZ-ER-STOP.BAT  !!!",
     .rect = {240, 3480, 4935, 255}, .font = kCaptionFont},
    {.name = "VQCLI_STOP_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 3720, 11775, 495},
     .locked = true, .multiline = true, .tab_index = 11},
    {.name = "VQCLI_GBC_COMMAND_LABEL", .kind = K::Label, .text = "!!! GENERATED RUN COMMAND -  DAZ-ER-GBC.BAT !!!",
     .rect = {240, 4320, 4815, 255}, .font = kCaptionFont},
    {.name = "VQCLI_GBC_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 4560, 11775, 495},
     .locked = true, .multiline = true, .tab_index = 12},
    {.name = "VQCLI_GCC_COMMAND_LABEL", .kind = K::Label, .text = "!!! GENERATED RUN COMMAND - DAZ-ER-GCC.BAT !!!",
     .rect = {240, 5160, 4815, 255}, .font = kCaptionFont},
    {.name = "VQCLI_GCC_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "", .rect = {120, 5400, 11775, 495},
     .locked = true, .multiline = true, .tab_index = 13},

    // --- Bottom row ---
    {.name = "EXE_FILENAME_HELP_LABEL", .kind = K::Label,
     .text = "FOR MULTIPLE CONFIGURATIONS, COPY TO A NEW FOLDER AND NEW FILENAME, RUN, AND CONFIGURE.",
     .rect = {240, 6120, 5655, 615}, .fore = kBlack, .back = kGreen, .font = kHelpFont},
    {.name = "SAVE_REGISTRY_BUTTON", .kind = K::Button, .text = "Save To Registry", .rect = {6120, 6120, 1455, 615},
     .tab_index = 14},
    {.name = "SAVE_BATS_BUTTON", .kind = K::Button, .text = "Save To .BAT Files", .rect = {7800, 6120, 1455, 615},
     .tab_index = 15},
    {.name = "AlwaysOnTopTimer_TICKBOX", .kind = K::TickBox, .text = "Always On Top", .rect = {9480, 6120, 1095, 495},
     .font = kTickFont, .value = 1, .tab_index = 16},
    {.name = "CLOSE_BUTTON", .kind = K::Button, .text = "Cancel", .rect = {10680, 6120, 1095, 615}, .tab_index = 0},

    // --- Below the visible area: pieces of the command lines (hidden) ---
    // BACKSLASH_TEXTBOX is given the platform's separator when the window is built.
    {.name = "CALL_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "call ", .rect = piece(0, 0), .visible = false},
    {.name = "SM_TB", .kind = K::TextBox, .text = "\"", .rect = piece(0, 1), .visible = false},
    {.name = "BACKSLASH_TEXTBOX", .kind = K::TextBox, .text = "\\", .rect = piece(0, 2), .visible = false},
    {.name = "SPACEBAR_TEXTBOX", .kind = K::TextBox, .text = " ", .rect = piece(0, 3), .visible = false},
    {.name = "DASH_CONF_TEXTBOX", .kind = K::TextBox, .text = "-conf=", .rect = piece(0, 4), .visible = false},
    {.name = "DASH_DISABLE_DAEMON_EQUALS_TEXTBOX", .kind = K::TextBox, .text = "-daemon=", .rect = piece(0, 5),
     .locked = true, .visible = false},
    {.name = "STOP_CMD_TEXTBOX", .kind = K::TextBox, .text = " stop", .rect = piece(0, 6), .visible = false},
    {.name = "GBC_ARROW_TEXTBOX", .kind = K::TextBox, .text = " getblockcount > ", .rect = piece(1, 0),
     .visible = false},
    {.name = "GCC_ARROW_TEXTBOX", .kind = K::TextBox, .text = " getconnectioncount > ", .rect = piece(1, 1),
     .visible = false},

    // --- File names: the three batch files hidden, the two logs not ---
    {.name = "CLI_STOP_BAT_FILENAME_TEXTBOX", .kind = K::TextBox, .text = "DAZ-ER-STOP.BAT", .rect = piece(1, 2),
     .visible = false},
    {.name = "CLI_GBC_BAT_FILENAME_TEXTBOX", .kind = K::TextBox, .text = "DAZ-ER-GBC.BAT", .rect = piece(1, 3),
     .visible = false},
    {.name = "CLI_GCC_BAT_FILENAME_TEXTBOX", .kind = K::TextBox, .text = "DAZ-ER-GCC.BAT", .rect = piece(1, 4),
     .visible = false},
    {.name = "CLI_UI_GBC_LOG_TEXTBOX", .kind = K::TextBox, .text = "DAZ-ER-GBC.LOG", .rect = {9960, 8880, 1695, 375}},
    {.name = "CLI_UI_GCC_LOG_TEXTBOX", .kind = K::TextBox, .text = "DAZ-ER-GCC.LOG", .rect = {9960, 9360, 1695, 375}},

    // --- Full paths: each holds its own name until a save derives it ---
    {.name = "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_STOP_BAT_FULL_LOCATION_TEXTBOX",
     .rect = {5280, 7200, 3615, 375}},
    {.name = "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GBC_FULL_BAT_LOCATION_TEXTBOX",
     .rect = {5280, 7560, 3615, 375}},
    {.name = "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GCC_FULL_BAT_LOCATION_TEXTBOX",
     .rect = {5280, 7920, 3615, 375}},
    {.name = "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GBC_FULL_LOG_LOCATION_TEXTBOX",
     .rect = {5280, 8400, 3615, 375}},
    {.name = "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", .kind = K::TextBox, .text = "CLI_GCC_FULL_LOG_LOCATION_TEXTBOX",
     .rect = {5280, 8760, 3615, 375}},

    // --- Controls that carry no behaviour ---
    {.name = "START_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "start /wait ", .rect = piece(1, 5),
     .visible = false},
    {.name = "CMD_COMMAND_TEXTBOX", .kind = K::TextBox, .text = "cmd.exe /k", .rect = piece(1, 6), .visible = false},
    {.name = "CMD_PROCESS_TICKBOX", .kind = K::TickBox, .text = "Run BLOCKCOUNTER.BAT in \"cmd.exe /k\" Process",
     .rect = {9000, 7200, 2895, 255}, .font = kTickFont, .visible = false},
    {.name = "OUTPUT_WINDOW_SETTINGS_TICKBOX", .kind = K::TickBox, .text = "Show DAEMON Output Window",
     .rect = {600, 9720, 2775, 255}, .font = kTickFont},
    {.name = "Label2", .kind = K::Label,
     .text = "!!! ALWAYS TRY TO SAFELY SHUTDOWN DAEMON BEFORE CLOSING OUTPUT WINDOW OR YOUR BLOCKCHAIN MAY GET "
             "CORRUPTED !!!",
     .rect = {600, 9960, 10815, 255}, .fore = colours::red, .font = kCaptionFont},

    // --- Composer timers: enabled at design, Interval 0 until the load sets it ---
    {.name = "CLI_STOP_BAT_COMMAND_TIMER", .kind = K::Timer, .enabled = true},
    {.name = "CLI_GBC_BAT_COMMAND_TIMER", .kind = K::Timer, .enabled = true},
    {.name = "CLI_GCC_BAT_COMMAND_TIMER", .kind = K::Timer, .enabled = true},
};
}  // namespace

std::span<const ControlDesign> SettingsWindow::inventory() { return kSettingsInventory; }

}  // namespace vqd
