// Notifications through the desktop's own service
// (org.freedesktop.Notifications on the session bus). Calls never block the
// UI thread: each is sent asynchronously and its reply (the id the service
// gave the notification) is remembered per kind, so the next one of that kind
// replaces it. Where no service answers (no session bus, no owner of the
// name, or the call fails) the fallback shows the text instead.
#pragma once

#include "platform/desktop.h"

#include <functional>
#include <memory>
#include <string>

namespace vqd::qt {

class DBusNotifier final : public vqd::Notifier {
public:
    DBusNotifier(std::string app_name, std::string icon_name,
                 std::function<void(const std::string& summary, const std::string& body)> fallback);
    ~DBusNotifier() override;
    DBusNotifier(const DBusNotifier&) = delete;
    DBusNotifier& operator=(const DBusNotifier&) = delete;

    void notify(const std::string& kind, const std::string& summary, const std::string& body) override;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace vqd::qt
