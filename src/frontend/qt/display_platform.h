// Which Qt platform the program asks for, decided from the environment before
// the application object exists.
//
// A Wayland session does not let a client place its own windows or keep them
// above the others, and the main window's stored position and its Always On
// Top option rely on both. When the session also runs an X server for older
// programs (XWayland: DISPLAY set beside WAYLAND_DISPLAY), the program runs
// on it through the xcb platform, unless the user chose a platform with
// QT_QPA_PLATFORM. With Wayland alone it runs there and says once that
// placement and Always On Top are not available.
#pragma once

#include <optional>
#include <string>

namespace vqd::qt {

struct DisplayEnvironment {
    std::optional<std::string> qt_qpa_platform;  // QT_QPA_PLATFORM
    std::optional<std::string> wayland_display;  // WAYLAND_DISPLAY
    std::optional<std::string> display;          // DISPLAY
};

// The platform to set in QT_QPA_PLATFORM, or nothing to leave Qt's choice.
inline std::optional<std::string> platform_to_ask_for(const DisplayEnvironment& env) {
    auto set = [](const std::optional<std::string>& v) { return v && !v->empty(); };
    if (set(env.qt_qpa_platform)) return std::nullopt;
    if (set(env.wayland_display) && set(env.display)) return std::string("xcb");
    return std::nullopt;
}

// Whether Qt's chosen platform (QGuiApplication::platformName) is one where
// windows cannot be placed or kept on top.
inline bool placement_unavailable(const std::string& platform_name) {
    return platform_name.rfind("wayland", 0) == 0;
}

// What the program reports, once, on such a platform.
inline std::string placement_unavailable_message() {
    return "This Wayland session lets no program place its windows or keep them on top: the stored window "
           "positions and Always On Top have no effect. Run the program under X11 (or XWayland, with DISPLAY set "
           "and QT_QPA_PLATFORM unset) to have them.";
}

}  // namespace vqd::qt
