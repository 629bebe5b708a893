// A real poll on the real clock: the settings window writes the batch files
// for a client in a folder with a blank in its name, the main window's G-B-C
// and G-C-C run them through cmd.exe, wait, read the logs and show the counts;
// the process watcher sees the client while it answers slowly. Only the
// registry section (a name of its own) and the error log are not the
// program's own.
#include "frontend/win32/scheduler_driver.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "support.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace vqd {
namespace {

using test::file_bytes;
using test::pump_until;
using test::TempFolder;

// The real runner, waiting in the program's clock, with the moment of each
// start and whether one is under way.
class TimedRunner final : public CommandRunner {
public:
    explicit TimedRunner(Win32Clock& clock) : real(&clock) {}
    void run(const std::string& line, WindowStyle style) override {
        if (before_start) before_start();
        starting = true;
        try {
            real.run(line, style);
        } catch (...) {
            starting = false;
            throw;
        }
        starting = false;
        starts.push_back(GetTickCount64());
    }
    Win32CommandRunner real;
    std::function<void()> before_start;
    bool starting = false;
    std::vector<ULONGLONG> starts;
};

class RealPollTest : public ::testing::Test {
protected:
    // The working folder and the configuration path go into the batch lines
    // unquoted; only the client's folder may have a blank.
    TempFolder work{"vqd-work"};
    TempFolder node{"vqd node dir"};
    std::string conf = work / "node.conf";
    Win32Platform platform;
    fake::Executable executable{test::unique_name("vqd-poll")};
    TimedRunner runner{platform.clock};
    fake::Errors errors;
    Scheduler scheduler{platform.clock};
    MainWindow main{scheduler, Services{platform.store, executable, runner, platform.processes, platform.files,
                                        platform.topmost, errors, kWindowsFiles}};
    win32ui::SchedulerDriver driver{scheduler};

    RealPollTest() {
        test::copy_file(test::test_client_path(), node / "vqd-poll-cli.exe");
        test::put_file(conf, "blocks=654321\r\nconnections=9\r\n");
    }
    ~RealPollTest() override {
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       win32::widen(Win32SettingsStore::section_path("VQ-DAZ-ER", executable.exe)).c_str());
    }

    void click(Window& window, const char* control) {
        window.post_click(window[control]);
        driver.drive();
    }
    void edit(Window& window, const char* control, const std::string& text) {
        window.post_edit(window[control], text);
        driver.drive();
    }

    // The road a user takes: fill in the four fields, save them, wait for the
    // composers' next tick, write the batch files, close.
    void configure() {
        click(main, "SETTINGS_BUTTON");
        SettingsWindow* settings = main.settings_window();
        ASSERT_NE(settings, nullptr);
        edit(*settings, "VQ_CLI_UI_LOCATION_TEXTBOX", work.path());
        edit(*settings, "CONF_LOCATION_TEXTBOX", conf);
        edit(*settings, "CLI_LOCATION_TEXTBOX", node.path());
        edit(*settings, "CLI_NAME_TEXTBOX", "vqd-poll-cli.exe");
        click(*settings, "SAVE_REGISTRY_BUTTON");
        test::pump_for(1300);
        click(*settings, "SAVE_BATS_BUTTON");
        click(*settings, "CLOSE_BUTTON");
        ASSERT_EQ(main.settings_window(), nullptr);
    }

    // Click a poll button once the watcher has enabled it; returns the click's time.
    ULONGLONG poll(const char* button, const char* timer) {
        EXPECT_TRUE(pump_until([&] { return main[button].enabled(); }, 5000)) << button;
        const ULONGLONG at = GetTickCount64();
        click(main, button);
        EXPECT_TRUE(pump_until([&] { return !main[timer].enabled(); }, 20000)) << timer;
        return at;
    }
};

TEST_F(RealPollTest, BatchFilesThroughCmdShowTheCountsAfterTheWaits) {
    main.start();
    configure();
    EXPECT_EQ(file_bytes(work / "DAZ-ER-GBC.BAT"), "call \"" + (node / "vqd-poll-cli.exe") + "\" -conf=" + conf +
                                                         " getblockcount > " + (work / "DAZ-ER-GBC.LOG") + "\r\n");
    EXPECT_EQ(main["CLI_GBC_FULL_LOG_LOCATION_TEXTBOX"].text(), work / "DAZ-ER-GBC.LOG");

    std::vector<std::pair<ULONGLONG, Colour>> block_colours;
    ULONGLONG shown_at = 0;
    main.observe([&](const Change& change) {
        if (change.control != &main["CURRENT_BLOCK_TEXTBOX"]) return;
        if (change.prop == Prop::BackColor) block_colours.emplace_back(GetTickCount64(), *change.control->back_colour());
        if (change.prop == Prop::Text) shown_at = GetTickCount64();
    });

    const ULONGLONG clicked = poll("GETBLOCKCOUNT_BUTTON", "GETBLOCKCOUNT_COMMAND_TIMER");
    EXPECT_EQ(main["CURRENT_BLOCK_TEXTBOX"].text(), "654321\r\n");
    EXPECT_EQ(main["CURRENT_BLOCK_TEXTBOX"].back_colour(), colours::black);
    ASSERT_EQ(runner.starts.size(), 1u);
    const ULONGLONG ran = runner.starts[0];
    // Started a second after the tick, read four seconds after the start.
    EXPECT_GE(ran - clicked, 1900u);
    EXPECT_GE(shown_at - ran, 3990u);
    ASSERT_GE(block_colours.size(), 4u);
    EXPECT_EQ(block_colours[0].second, colours::queued_pink);
    EXPECT_EQ(block_colours[1].second, colours::yellow);
    EXPECT_GE(block_colours[1].first - ran, 2990u);
    std::printf("[ figures  ] block-count poll: batch started %llu ms after the click, count shown %llu ms after "
                "the start, box back to black %llu ms after the click\n",
                ran - clicked, shown_at - ran, block_colours.back().first - clicked);

    poll("GETCONNECTIONCOUNT_BUTTON", "GETCONNECTIONCOUNT_COMMAND_TIMER");
    EXPECT_EQ(main["CONNECTIONS_TEXTBOX"].text(), "9\r\n");
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
}

// The process starts off the UI thread while the poll's handler waits in the
// clock: messages are served meanwhile, input they bring waits for the handler,
// and a start that fails ends the handler at the start with the system's reason.
TEST_F(RealPollTest, WhileAProcessStartsTheHandlerWaitsAndKeepsItsOrder) {
    main.start();
    configure();
    std::vector<Colour> block_colours;
    main.observe([&](const Change& change) {
        if (change.control == &main["CURRENT_BLOCK_TEXTBOX"] && change.prop == Prop::BackColor)
            block_colours.push_back(*change.control->back_colour());
    });
    // A message posted just before the start reaches the clock's dispatcher;
    // the input it brings finds the handler still running.
    bool served_while_starting = false;
    std::string box_when_input_ran = "<not run>";
    platform.clock.set_dispatcher([&](MSG& msg) {
        if (msg.message != WM_APP) {
            DispatchMessageW(&msg);
            return;
        }
        served_while_starting = runner.starting;
        scheduler.post_input(main, nullptr, "Click", [&] { box_when_input_ran = main["CURRENT_BLOCK_TEXTBOX"].text(); });
    });
    runner.before_start = [] { PostMessageW(nullptr, WM_APP, 0, 0); };
    poll("GETBLOCKCOUNT_BUTTON", "GETBLOCKCOUNT_COMMAND_TIMER");
    EXPECT_TRUE(served_while_starting);
    EXPECT_TRUE(pump_until([&] { return box_when_input_ran != "<not run>"; }, 1000));
    EXPECT_EQ(box_when_input_ran, "654321\r\n");  // after the handler, which showed the count

    // The failure comes from the starting thread; the same start on this one gives the reason.
    const std::string missing = node / "no-such-program.exe";
    std::wstring line = win32::widen(missing);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_FALSE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const std::string reason = win32::last_error_message();
    runner.before_start = nullptr;
    block_colours.clear();
    main["CLI_GBC_FULL_BAT_LOCATION_TEXTBOX"].set_text(missing);
    poll("GETBLOCKCOUNT_BUTTON", "GETBLOCKCOUNT_COMMAND_TIMER");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("run command \"" + missing + "\": " + reason), std::string::npos)
        << errors.messages[0];
    // Ended at the start: the box never turned yellow for the read.
    EXPECT_EQ(block_colours, (std::vector<Colour>{colours::queued_pink, colours::black}));
}

TEST_F(RealPollTest, TheWatcherSeesAClientThatOutlivesThePoll) {
    main.start();
    configure();
    // The client answers long after the poll has read the log.
    test::put_file(conf, "blocks=5\r\ndelay_ms=9000\r\n");
    poll("GETBLOCKCOUNT_BUTTON", "GETBLOCKCOUNT_COMMAND_TIMER");
    EXPECT_EQ(main["CURRENT_BLOCK_TEXTBOX"].text(), "");  // read too early: the redirection has emptied the log

    ASSERT_TRUE(pump_until([&] { return main["PROCESS_ACTIVE_LABEL"].caption() == "!!! CLI RUNNING !!!"; }, 3000));
    EXPECT_EQ(main["PROCESS_ACTIVE_LABEL"].back_colour(), colours::red);
    EXPECT_FALSE(main["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_FALSE(main["SHUTDOWN_BUTTON"].enabled());

    ASSERT_TRUE(pump_until([&] { return main["PROCESS_ACTIVE_LABEL"].caption() == "!!! CLI NOT RUNNING !!!"; },
                           10000));
    EXPECT_TRUE(main["GETBLOCKCOUNT_BUTTON"].enabled());
    EXPECT_EQ(file_bytes(work / "DAZ-ER-GBC.LOG"), "5\r\n");
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
}

}  // namespace
}  // namespace vqd
