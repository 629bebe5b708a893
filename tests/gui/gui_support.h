// What every GUI test shares: a test main that never touches a real desktop
// unless asked, and a fixture with the main window model on fake platform
// services, drawn by the Qt view and driven on real time by Qt's event loop.
#pragma once

#include "frontend/qt/qt_topmost.h"
#include "frontend/qt/realtime.h"
#include "frontend/qt/window_view.h"
#include "platform/fake/fakes.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vqd::gui_test {

// Sets up the environment (platform plugin, XDG folders), creates the
// QApplication with the program's style and runs the tests.
int run_all(int argc, char** argv, const char* default_platform);

// Where screenshots go: a folder in the build tree.
QString shot_path(const QString& file_name);

// Runs the event loop until `done` holds or `timeout_ms` passed; true when it held.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 3000);

// A text as a widget shows it: captions wrapped with line breaks read as one line.
std::string shown_text(const QWidget* w);

class GuiTest : public ::testing::Test {
protected:
    fake::Platform platform;
    qt::QtClock clock;
    Scheduler scheduler{clock};
    qt::SchedulerDriver driver{scheduler};
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<qt::WindowView> view;
    bool main_closed_seen = false;
    // Keep windows on top for real (Qt on the display) instead of the fake.
    bool real_topmost = false;
    qt::QtTopmost qt_topmost;

    // Stored values for the section "VQ-DAZ-ER" before start().
    void store(const std::string& key, const std::string& value) { platform.store.put("VQ-DAZ-ER", key, value); }
    // Program start: load, show, start the timers.
    void start();
    void TearDown() override;

    QWidget* widget(const char* control) const;
    QWidget* settings_widget(const char* control) const;
    // A click through the widget, as the mouse's release would make it.
    void click(QWidget* w);
    // Opens the settings window with the Settings button; true once it shows.
    bool open_settings();
    // The window as the screen would show it (children composed with the window).
    static QImage grab(QWidget* window);

    // Both auto-poll options ticked, START, and STOP clicked by `click_stop`
    // 13.5 s later, inside the block-count poll; runs until the settling tick
    // is over. Returns what followed, in order: "block poll over",
    // "caption START", "connection batch", "connection poll over",
    // "caption STOP" when the click ran right after the poll that held it.
    std::vector<std::string> stop_during_settling(const std::function<void(QWidget*)>& click_stop);
    static QColor colour_at(const QImage& image, QPoint p) { return image.pixelColor(p); }
};

}  // namespace vqd::gui_test
