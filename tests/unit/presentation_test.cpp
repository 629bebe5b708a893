// What every front end shows the same way: a one-line box's text, the status
// strip's text, and the names screen readers announce.
#include "main_window_fixture.h"
#include "model/presentation.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

namespace vqd::test {
namespace {

TEST(OneLine, LineEndsAtTheEndGoAndThoseInsideShowAsOneBlankEach) {
    const struct {
        std::string in, shown;
    } cases[] = {
        {"812345\r\n", "812345"},
        {"812345\n", "812345"},
        {"812345\r", "812345"},
        {"8\r\n\r\n", "8"},
        {"a\r\nb", "a b"},
        {"a\nb\rc", "a b c"},
        {"a\n\nb\n", "a  b"},
        {"\r\n", ""},
        {"plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(one_line(c.in), c.shown) << c.in;
}

using Presentation = MainWindowTest;

TEST_F(Presentation, TheStripShowsTheWindowsOwnFailuresElseItsModalOwnersWhileOpen) {
    start();
    EXPECT_EQ(shown_status(*main), "");
    SettingsWindow& settings = open_settings();
    main->report_failure("poll", "the owner's failure");
    EXPECT_EQ(shown_status(settings), "the owner's failure");
    EXPECT_EQ(shown_status(*main), "the owner's failure");
    main->clear_failure("poll");
    EXPECT_EQ(shown_status(settings), "");
}

TEST_F(Presentation, EveryFieldIsNamedByTheCaptionBesideItAndEveryOtherControlByItsCaptionOrValue) {
    start();
    main->operator[]("CURRENT_BLOCK_TEXTBOX").set_text("812345\r\n");
    main->operator[]("AUTORUN_TIMER_TEXTBOX").set_text("11");
    SettingsWindow& settings = open_settings();
    const struct {
        const Window* window;
        std::string_view control, name;
    } cases[] = {
        // Displays with a label on their row (which reaches a little into them).
        {main.get(), "CURRENT_BLOCK_TEXTBOX", "Current Block:"},
        {main.get(), "CONNECTIONS_TEXTBOX", "Connections:"},
        // No caption beside it (the watcher label above starts far to the left).
        {main.get(), "AUTORUN_TIMER_TEXTBOX", "11"},
        {main.get(), "PROCESS_ACTIVE_LABEL", "!!! NOT MONITORING !!!"},
        {main.get(), "SETTINGS_BUTTON", "Settings"},
        {main.get(), "AUTOSTART_TICKBOX", "Auto Start"},
        {main.get(), "COUNTDOWN_TIMER", ""},
        // Fields under their captions, the caption's box overlapping theirs a little.
        {&settings, "VQ_CLI_UI_LOCATION_TEXTBOX", "VQ-DAZ-ER  FOLDER - eg C:\\TARNWICK\\VQ-DAZ-ER\\BTC"},
        {&settings, "CLI_LOCATION_TEXTBOX", "CLI Folder- eg C:\\Program Files\\Bitcoin\\Daemon"},
        {&settings, "CONF_LOCATION_TEXTBOX", "WALLET.CONF - File Location - eg C:\\BC-CONF\\BTC\\bitcoin.conf"},
        {&settings, "CLI_NAME_TEXTBOX", "CLI Filename - eg bitcoin-cli.exe"},
        // The tick box that switches the box below it on.
        {&settings, "UPDATE_EXTERNAL_FILE_TEXTBOX", "Also Update External File When BlockCount Changes"},
        {&settings, "RUN_COMMAND_TEXTBOX", "Also Run Command When BlockCount Changes"},
        {&settings, "VQCLI_STOP_COMMAND_TEXTBOX", "!!! GENERATED RUN COMMAND -  DAZ-ER-STOP.BAT  !!!"},
        {&settings, "VQCLI_GBC_COMMAND_TEXTBOX", "!!! GENERATED RUN COMMAND -  DAZ-ER-GBC.BAT !!!"},
        {&settings, "VQCLI_GCC_COMMAND_TEXTBOX", "!!! GENERATED RUN COMMAND - DAZ-ER-GCC.BAT !!!"},
        {&settings, "CLOSE_BUTTON", "Cancel"},
    };
    for (const auto& c : cases) EXPECT_EQ(accessible_name(*c.window, (*c.window)[c.control]), c.name) << c.control;

    // A caption that is hidden names nothing; the box is then named by what it shows.
    settings["DAEMOND_NAME_LABEL"].set_visible(false);
    settings["CLI_NAME_TEXTBOX"].set_text("litecoin-cli\n");
    EXPECT_EQ(accessible_name(settings, settings["CLI_NAME_TEXTBOX"]), "litecoin-cli");
}

TEST_F(Presentation, EveryControlOnScreenButLinesHasAName) {
    start();
    SettingsWindow& settings = open_settings();
    for (const Window* w : {static_cast<const Window*>(main.get()), static_cast<const Window*>(&settings)})
        for (const auto& c : w->controls())
            if (c->visible() && c->rect().top < w->height() && c->kind() != ControlKind::Line &&
                c->kind() != ControlKind::Timer)
                EXPECT_FALSE(accessible_name(*w, *c).empty()) << w->name() << " " << c->name();
}

}  // namespace
}  // namespace vqd::test
