// The main window's close as the session's end and the error path's names for
// closes, on the virtual clock; the rule that places a window on a screen; the
// display platform the Linux program asks for.
#include "frontend/qt/display_platform.h"
#include "main_window_fixture.h"
#include "model/placement.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

namespace vqd::test {
namespace {

using SessionTest = MainWindowTest;

TEST_F(SessionTest, TheSessionsEndClosesTheOpenSettingsAsCancelledThenSavesTheMainWindow) {
    configure_files();
    start();
    SettingsWindow& settings = open_settings();
    settings.post_edit(settings["CLI_NAME_TEXTBOX"], "unsaved.exe");
    scheduler.run_due();
    main->set_position(2400, 3600);
    platform.store.writes.clear();

    main->post_session_end();
    scheduler.run_due();
    EXPECT_TRUE(settings.closed());
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(platform.store.writes,
              (std::vector<std::string>{"SETTINGS-Left", "SETTINGS-Top", "MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX",
                                        "CLI_GCC_BAT_TICKBOX", "CLI_STOP_BAT_TICKBOX", "AUTOSTART_TICKBOX",
                                        "AUTOCLOSE_TIMER_TICKBOX"}));
    EXPECT_EQ(stored("MainLeft"), "2400");
    EXPECT_NE(stored("CLI_NAME_TEXTBOX"), "unsaved.exe");
}

TEST_F(SessionTest, AFailedCloseIsReportedAsThatWindowsCloseAndAnotherWindowsCloseDoesNotClearIt) {
    start();
    SettingsWindow& settings = open_settings();
    platform.store.fail_saves = true;
    settings.post_close();
    scheduler.run_due();
    ASSERT_TRUE(settings.closed());
    EXPECT_EQ(main->status().rfind("VQ_CLI_UI_SETTINGS_Unload failed: ", 0), 0u) << main->status();
    const std::string failure = main->status();

    platform.store.fail_saves = false;
    main->post_close();
    scheduler.run_due();
    ASSERT_TRUE(main->closed());
    EXPECT_EQ(main->status(), failure);
}

TEST(Placement, APositionOnAScreenIsKeptAndOneOffEveryScreenComesOnTheNearestWhole) {
    const PixelRect screens[] = {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
    // Any part on a screen: exactly as asked, even partly off it.
    EXPECT_EQ(place_on_screens({100, 200, 346, 700}, screens), (PixelRect{100, 200, 346, 700}));
    EXPECT_EQ(place_on_screens({-300, 900, 346, 700}, screens), (PixelRect{-300, 900, 346, 700}));
    // Far to the lower right (a stored 400000, 300000 twips): the right-hand screen, its corner.
    EXPECT_EQ(place_on_screens({26667, 20000, 346, 700}, screens), (PixelRect{2854, 380, 346, 700}));
    // Above the left screen: straight down onto it, left edge kept.
    EXPECT_EQ(place_on_screens({500, -5000, 346, 700}, screens), (PixelRect{500, 0, 346, 700}));
    // Taller than the screen: its top (the title bar) stays in view.
    const PixelRect small[] = {{0, 0, 800, 600}};
    EXPECT_EQ(place_on_screens({-2000, -2000, 346, 900}, small), (PixelRect{0, 0, 346, 900}));
    // No screen known: nothing to correct against.
    EXPECT_EQ(place_on_screens({26667, 20000, 346, 700}, {}), (PixelRect{26667, 20000, 346, 700}));
}

// Stored at 60000, 3000 twips, shown at 1696, 200 pixels; the window manager may
// report it once at the frame's offset and back (openbox on a busy machine).
// The stored keys change for a user's move and for nothing else.
struct MoveCase {
    const char* name;
    std::vector<std::pair<std::int64_t, PixelPoint>> reports;  // at ms after the showing
    std::string left, top;                                     // stored at close
};
void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }
struct WindowMoves : SessionTest, ::testing::WithParamInterface<MoveCase> {};

TEST_P(WindowMoves, TheStoredPositionChangesOnlyForWhereTheUserLeftTheWindow) {
    put("MainLeft", "60000");
    put("MainTop", "3000");
    start();
    main->shown_at({1696, 200}, 1.0 / 15);
    const std::int64_t shown = clock.now_ms();
    for (const auto& [at, where] : GetParam().reports) {
        advance_to(shown + at);
        main->reported_at(where);
    }
    main->post_close();
    scheduler.run_due();
    ASSERT_TRUE(main->closed());
    EXPECT_EQ(stored("MainLeft"), GetParam().left);
    EXPECT_EQ(stored("MainTop"), GetParam().top);
}

INSTANTIATE_TEST_SUITE_P(
    AfterTheShowing, WindowMoves,
    ::testing::Values(
        MoveCase{"FrameOffsetAndBack", {{5, {1696, 200}}, {40, {1695, 180}}, {60, {1696, 200}}}, "60000", "3000"},
        // The passing report arrives last inside the placement, the one back long after.
        MoveCase{"BackOnlyAfterThePlacement", {{40, {1695, 180}}, {3000, {1696, 200}}}, "60000", "3000"},
        // The window manager keeps it where it put it: no move of the user's.
        MoveCase{"LeftWhereTheWindowManagerPutIt", {{40, {1695, 180}}}, "60000", "3000"},
        MoveCase{"UserMovesItLater", {{5, {1696, 200}}, {40, {1695, 180}}, {4000, {1200, 300}}}, "18000", "4500"},
        MoveCase{"UserMovesItAwayAndBack", {{4000, {1200, 300}}, {5000, {1696, 200}}}, "60000", "3000"},
        // A drag that starts at once is more than a placement's few steps.
        MoveCase{"UserDragsAtOnce",
                 {{10, {1690, 200}}, {20, {1680, 200}}, {30, {1670, 200}}, {40, {1660, 200}}, {50, {1650, 200}},
                  {60, {1640, 200}}, {70, {1630, 200}}, {80, {1620, 200}}, {90, {1610, 200}}, {100, {1600, 200}}},
                 "24000", "3000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayPlatform, XWaylandIsChosenUnlessTheUserChoseAndWaylandAloneIsReported) {
    using qt::DisplayEnvironment;
    EXPECT_EQ(qt::platform_to_ask_for(DisplayEnvironment{std::nullopt, "wayland-0", ":0"}), "xcb");
    EXPECT_EQ(qt::platform_to_ask_for(DisplayEnvironment{"wayland", "wayland-0", ":0"}), std::nullopt);
    EXPECT_EQ(qt::platform_to_ask_for(DisplayEnvironment{"", "wayland-0", ":0"}), "xcb");
    EXPECT_EQ(qt::platform_to_ask_for(DisplayEnvironment{std::nullopt, "wayland-0", std::nullopt}), std::nullopt);
    EXPECT_EQ(qt::platform_to_ask_for(DisplayEnvironment{std::nullopt, std::nullopt, ":0"}), std::nullopt);
    EXPECT_TRUE(qt::placement_unavailable("wayland"));
    EXPECT_TRUE(qt::placement_unavailable("wayland-egl"));
    EXPECT_FALSE(qt::placement_unavailable("xcb"));
    EXPECT_FALSE(qt::placement_unavailable("offscreen"));
}

}  // namespace
}  // namespace vqd::test
