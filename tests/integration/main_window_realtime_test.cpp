// The main window at work on the real clock, with the Linux services: real
// batch files, the test client as the node's client, real waits.
#include "helpers.h"

#include "model/colour.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/realtime_driver.h"
#include "windows/main_window.h"
#include "windows/settings.h"

#include <atomic>
#include <cstdio>
#include <memory>

namespace vqd::it {
namespace {

using namespace std::chrono;

// The real counter, counting the questions the watcher asks.
struct CountingProcesses final : ProcessCounter {
    explicit CountingProcesses(ProcessCounter& counter) : real(counter) {}
    int count(const std::string& image_name) override {
        ++queries;
        return real.count(image_name);
    }
    ProcessCounter& real;
    int queries = 0;
};

class MainWindowRealTime : public ::testing::Test {
protected:
    TempDir dir;
    ConfigHome home{dir.path()};
    Client client{dir};
    PosixPlatform platform{"/opt/panel/VQ-DAZ-ER-it"};
    CountingProcesses processes{platform.processes};
    Scheduler scheduler{platform.clock};
    std::unique_ptr<MainWindow> main;

    std::string work(const std::string& name) const { return (client.work / name).string(); }
    Control& c(std::string_view name) const { return (*main)[name]; }

    // The files and settings the settings window would have written.
    void configure(const std::string& node_conf) {
        client.configure(node_conf);
        platform.files.write_line(work("DAZ-ER-GBC.BAT"), client.line("getblockcount", work("DAZ-ER-GBC.LOG")));
        platform.files.write_line(work("DAZ-ER-GCC.BAT"), client.line("getconnectioncount", work("DAZ-ER-GCC.LOG")));
        platform.files.write_line(work("DAZ-ER-STOP.BAT"), client.line("stop"));
        Settings settings(platform.store, platform.executable);
        settings.save_text("CLI_NAME_TEXTBOX", client.name);
        settings.save_text("CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", work("DAZ-ER-STOP.BAT"));
        settings.save_text("CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", work("DAZ-ER-GBC.BAT"));
        settings.save_text("CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", work("DAZ-ER-GCC.BAT"));
        settings.save_text("CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", work("DAZ-ER-GBC.LOG"));
        settings.save_text("CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", work("DAZ-ER-GCC.LOG"));
    }

    // Start the program and let the watcher's first tick give the buttons back.
    void open() {
        Services services = platform.services();
        main = std::make_unique<MainWindow>(scheduler,
                                            Services{services.store, services.executable, services.runner, processes,
                                                     services.files, services.topmost, services.errors,
                                                     services.conventions});
        main->start();
        ASSERT_TRUE(run_until([&] { return label() == "!!! CLI NOT RUNNING !!!"; }, seconds(3)));
    }

    bool run_until(const std::function<bool()>& done, milliseconds limit) {
        const auto end = platform.clock.now_ms() + limit.count();
        run_realtime(scheduler, platform.clock, [&] { return done() || platform.clock.now_ms() > end; });
        return done();
    }

    // Click a button and run until the one-shot timer it armed has done its poll.
    bool click_and_poll(std::string_view button, std::string_view poll_timer, milliseconds limit) {
        main->post_click(c(button));
        scheduler.run_due();
        if (!c(poll_timer).enabled()) return false;
        return run_until([&] { return !c(poll_timer).enabled(); }, limit);
    }

    std::string label() const { return c("PROCESS_ACTIVE_LABEL").caption(); }
};

TEST_F(MainWindowRealTime, BlockCountPollShowsTheCountAndRunsTheActions) {
    configure("blocks=123456\n");
    Settings settings(platform.store, platform.executable);
    settings.save_tick("UPDATE_EXTERNAL_FILE_TICKBOX", 1);
    settings.save_text("UPDATE_EXTERNAL_FILE_TEXTBOX", work("external.txt"));
    settings.save_tick("RUN_COMMAND_TICKBOX", 1);
    settings.save_text("RUN_COMMAND_TEXTBOX", "echo ran >> '" + work("user command.txt") + "'");
    open();

    struct Stage {
        std::int64_t at;
        Colour colour;
    };
    std::vector<Stage> stages;
    std::int64_t shown_at = -1;
    const auto t0 = platform.clock.now_ms();
    main->observe([&](const Change& change) {
        if (change.control != &c("CURRENT_BLOCK_TEXTBOX")) return;
        if (change.prop == Prop::BackColor) stages.push_back({platform.clock.now_ms() - t0, *change.control->back_colour()});
        if (change.prop == Prop::Text) shown_at = platform.clock.now_ms() - t0;
    });
    // While the poll holds this thread, another one sees when the client's answer lands.
    std::atomic<std::int64_t> answered_at{-1};
    std::atomic<bool> watching{true};
    std::thread log_watch([&] {
        while (watching && answered_at < 0) {
            if (slurp(work("DAZ-ER-GBC.LOG")) == "123456\n") answered_at = platform.clock.now_ms() - t0;
            std::this_thread::sleep_for(milliseconds(1));
        }
    });

    const bool polled = click_and_poll("GETBLOCKCOUNT_BUTTON", "GETBLOCKCOUNT_COMMAND_TIMER", seconds(12));
    const auto ended_at = platform.clock.now_ms() - t0;
    watching = false;
    log_watch.join();
    ASSERT_TRUE(polled);

    EXPECT_EQ(c("CURRENT_BLOCK_TEXTBOX").text(), "123456\n");
    EXPECT_EQ(c("CURRENT_BLOCK_TEXTBOX").back_colour(), colours::black);
    EXPECT_EQ(slurp(work("external.txt")), "123456\n\n");
    EXPECT_TRUE(eventually([&] { return slurp(work("user command.txt")) == "ran\n"; }, seconds(3)));
    EXPECT_EQ(client.calls(), 1);
    EXPECT_EQ(main->status(), "");
    ASSERT_EQ(stages.size(), 4u);
    EXPECT_EQ(stages[0].colour, colours::queued_pink);
    EXPECT_EQ(stages[1].colour, colours::yellow);
    EXPECT_EQ(stages[2].colour, colours::window_background);
    EXPECT_EQ(stages[3].colour, colours::black);
    EXPECT_GT(answered_at.load(), 0) << "the client's answer never reached the log";
    EXPECT_LT(answered_at.load(), stages[1].at) << "the answer came after the reading stage began";

    std::printf("[ figures  ] real block-count poll, from the click: client's answer in the log %lld ms, "
                "yellow %lld ms, count shown %lld ms, poll ended %lld ms\n",
                static_cast<long long>(answered_at.load()), static_cast<long long>(stages[1].at),
                static_cast<long long>(shown_at), static_cast<long long>(ended_at));
}

TEST_F(MainWindowRealTime, WatcherLocksTheButtonsWhileTheClientRuns) {
    configure("delay_ms=2500\n");
    open();
    platform.runner.run(work("DAZ-ER-GCC.BAT"), WindowStyle::Hidden);

    ASSERT_TRUE(run_until([&] { return label() == "!!! CLI RUNNING !!!"; }, seconds(2)));
    EXPECT_EQ(c("PROCESS_ACTIVE_LABEL").back_colour(), colours::red);
    for (auto name : {"SHUTDOWN_BUTTON", "GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON"})
        EXPECT_FALSE(c(name).enabled()) << name;
    EXPECT_TRUE(c("SETTINGS_BUTTON").enabled());

    ASSERT_TRUE(run_until([&] { return label() == "!!! CLI NOT RUNNING !!!"; }, seconds(5)));
    EXPECT_EQ(c("PROCESS_ACTIVE_LABEL").back_colour(), colours::green);
    for (auto name : {"SHUTDOWN_BUTTON", "GETBLOCKCOUNT_BUTTON", "GETCONNECTIONCOUNT_BUTTON"})
        EXPECT_TRUE(c(name).enabled()) << name;
    EXPECT_EQ(slurp(work("DAZ-ER-GCC.LOG")), "8\n");
}

TEST_F(MainWindowRealTime, OverlongLogIsReportedOnceAndThePollNotRetried) {
    configure("mode=huge\n");
    open();
    const std::string shown_before = c("CONNECTIONS_TEXTBOX").text();
    ASSERT_TRUE(click_and_poll("GETCONNECTIONCOUNT_BUTTON", "GETCONNECTIONCOUNT_COMMAND_TIMER", seconds(10)));

    EXPECT_NE(main->status().find("longer than 32767"), std::string::npos) << main->status();
    EXPECT_EQ(c("CONNECTIONS_TEXTBOX").text(), shown_before);
    EXPECT_EQ(c("CONNECTIONS_TEXTBOX").back_colour(), colours::black);
    const std::string log_path = platform.errors.location();
    EXPECT_EQ(log_path, dir / "VQ-DAZ-ER/VQ-DAZ-ER-it-errors.log");
    EXPECT_EQ(count_lines(log_path), 1);
    EXPECT_NE(slurp(log_path).find(work("DAZ-ER-GCC.LOG")), std::string::npos) << slurp(log_path);

    // The program goes on: the watcher still ticks, the failed poll does not come back.
    const int before = processes.queries;
    run_until([] { return false; }, milliseconds(2100));
    EXPECT_GE(processes.queries - before, 2);
    EXPECT_EQ(client.calls(), 1);
    EXPECT_EQ(count_lines(log_path), 1);
}

TEST_F(MainWindowRealTime, ShutdownStopsTheNodeAndLaterLogsStayEmpty) {
    configure("blocks=5\n");
    open();
    main->post_click(c("SHUTDOWN_BUTTON"));
    scheduler.run_due();  // the click's handler, with its 3-second wait
    EXPECT_EQ(c("AUTORUN_TIMER_TEXTBOX").back_colour(), colours::queued_pink);
    EXPECT_NE(slurp(client.conf + ".state").find("stopped=1"), std::string::npos);

    // A stopped node's client writes only to its error stream: the log is emptied.
    platform.files.write_line(work("DAZ-ER-GBC.LOG"), "old");
    platform.runner.run(work("DAZ-ER-GBC.BAT"), WindowStyle::Hidden);
    ASSERT_TRUE(eventually([&] { return client.calls() == 2 && platform.processes.count(client.name) == 0; },
                           seconds(5)));
    EXPECT_EQ(slurp(work("DAZ-ER-GBC.LOG")), "");

    output_of("'" + client.path() + "' -conf=" + client.conf + " start");
    platform.runner.run(work("DAZ-ER-GBC.BAT"), WindowStyle::Hidden);
    EXPECT_TRUE(eventually([&] { return slurp(work("DAZ-ER-GBC.LOG")) == "5\n"; }, seconds(5)));
}

}  // namespace
}  // namespace vqd::it
