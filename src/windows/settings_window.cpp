// PLACEHOLDER until the settings window lands: just enough to build.
#include "windows/settings_window.h"

#include "windows/main_window.h"

namespace vqd {
namespace {
constexpr ControlSpec kInventory[] = {
    {.name = "CLOSE_BUTTON", .kind = ControlKind::Button, .text = "Cancel", .rect = {10680, 6120, 1095, 615}},
};
}
std::span<const ControlSpec> SettingsWindow::inventory() { return kInventory; }
SettingsWindow::SettingsWindow(Scheduler& scheduler, Services services, MainWindow& main)
    : Window("VQ_CLI_UI_SETTINGS", scheduler, inventory(), Rect{0, 0, 12015, 10260}),
      services_(services), main_(main), settings_(services.store, services.executable) {
    on_click("CLOSE_BUTTON", [this] { CLOSE_BUTTON_Click(); });
}
void SettingsWindow::load() {}
void SettingsWindow::unload() {}
void SettingsWindow::CLOSE_BUTTON_Click() { close(); }
void SettingsWindow::handler_failed(Control* control, const std::string& event, const std::exception& error) {
    main_.report_failure(operation_name(control, event), error.what());
}
void SettingsWindow::handler_succeeded(Control* control, const std::string& event) {
    main_.clear_failure(operation_name(control, event));
}
}  // namespace vqd
