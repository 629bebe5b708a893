// The Extras window: the additions' settings (tray icon, health cues, the
// metrics file), kept in the program's own store and section. It opens from
// the tray menu and from the main window's title band, is not modal, and
// changes nothing until Save.
#pragma once

#include "model/window.h"

#include <span>

namespace vqd {

class ExtrasMonitor;

class ExtrasWindow final : public Window {
public:
    ExtrasWindow(Scheduler& scheduler, ExtrasMonitor& monitor);

    static std::span<const ControlDesign> inventory();

    void load() override;

    // --- Handlers ---
    void SAVE_BUTTON_Click();
    void CLOSE_BUTTON_Click();

    // A failure shows in this window's own strip and goes to the error log.
    void handler_failed(Control* control, const std::string& event, const std::exception& error) override;

private:
    ExtrasMonitor& monitor_;
};

}  // namespace vqd
