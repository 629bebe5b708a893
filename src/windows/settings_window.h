// The settings window: the four values every command line and path is built
// from, the daemon option, the block-change actions, and the two saves.
//
// It is created afresh each time the main window's Settings button is
// clicked, opened modal and owned by the main window, and closed by its close
// button or by the window system's close command (both run unload()).
#pragma once

#include "model/window.h"
#include "platform/platform.h"
#include "windows/settings.h"

#include <span>
#include <string>
#include <string_view>

namespace vqd {

class MainWindow;

// The creator label's two captions: the credit line it is designed with, and
// the contact line a click shows until the window is opened again.
inline constexpr std::string_view kCreatorCreditLine = "By the VQ-DAZ-ER developers";
inline constexpr std::string_view kCreatorContactLine = "Contact: the VQ-DAZ-ER developers";

class SettingsWindow final : public Window {
public:
    SettingsWindow(Scheduler& scheduler, Services services, MainWindow& main);

    static std::span<const ControlDesign> inventory();

    void load() override;
    void unload() override;

    // --- Handlers ---
    void SAVE_REGISTRY_BUTTON_Click();
    void SAVE_BATS_BUTTON_Click();
    void CLOSE_BUTTON_Click();
    void CLI_STOP_BAT_COMMAND_TIMER_Timer();
    void CLI_GBC_BAT_COMMAND_TIMER_Timer();
    void CLI_GCC_BAT_COMMAND_TIMER_Timer();
    void DASH_DAEMON_TICKBOX_Click();
    void DISABLE_DAEMON_TICKBOX_Click();
    void UPDATE_EXTERNAL_FILE_TICKBOX_Click();
    void RUN_COMMAND_TICKBOX_Click();
    void AlwaysOnTopTimer_TICKBOX_Click();
    void VQ_CLI_UI_CREATOR_Click();

    // The three command lines as the current field texts compose them.
    std::string compose_stop_command() const;
    std::string compose_gbc_command() const;
    std::string compose_gcc_command() const;
    // Working folder, separator and the file name held by `file_name_box`.
    std::string full_path(std::string_view file_name_box) const;

    void handler_failed(Control* control, const std::string& event, const std::exception& error) override;
    void handler_succeeded(Control* control, const std::string& event) override;

private:
    void set_action_box(std::string_view tick_box, std::string_view text_box);
    void derive_bat_paths();

    Services services_;
    MainWindow& main_;
    Settings settings_;
};

}  // namespace vqd
