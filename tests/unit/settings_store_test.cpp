// The key table of the settings store and the conversions between stored
// texts and the three kinds of value.
#include "platform/fake/fakes.h"
#include "windows/settings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vqd {
namespace {

using K = SettingKind;

TEST(SettingKeys, AllTwentyNineKeysWithTheirKindsAndDefaults) {
    const SettingKey expected[] = {
        {"MainLeft", K::Coordinate, "1000"},
        {"MainTop", K::Coordinate, "1000"},
        {"MainWidth", K::Coordinate, "5280"},
        {"MainHeight", K::Coordinate, "3630"},
        {"CLI_GBC_BAT_TICKBOX", K::TickBox, "0"},
        {"CLI_GCC_BAT_TICKBOX", K::TickBox, "0"},
        {"CLI_STOP_BAT_TICKBOX", K::TickBox, "0"},
        {"AUTOSTART_TICKBOX", K::TickBox, "0"},
        {"AUTOCLOSE_TIMER_TICKBOX", K::TickBox, "0"},
        {"CLI_NAME_TEXTBOX", K::Text, ""},
        {"UPDATE_EXTERNAL_FILE_TICKBOX", K::TickBox, "0"},
        {"RUN_COMMAND_TICKBOX", K::TickBox, "0"},
        {"RUN_COMMAND_TEXTBOX", K::Text, ""},
        {"UPDATE_EXTERNAL_FILE_TEXTBOX", K::Text, ""},
        {"CLI_STOP_BAT_FULL_LOCATION_TEXTBOX", K::Text, ""},
        {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", K::Text, ""},
        {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", K::Text, ""},
        {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", K::Text, ""},
        {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", K::Text, ""},
        {"AlwaysOnTopTimer_TICKBOX", K::TickBox, "1"},
        {"SETTINGS-Left", K::Coordinate, "1000"},
        {"SETTINGS-Top", K::Coordinate, "1000"},
        {"SETTINGS-Width", K::Coordinate, "12105"},
        {"SETTINGS-Height", K::Coordinate, "7260"},
        {"VQ_CLI_UI_LOCATION_TEXTBOX", K::Text, ""},
        {"CONF_LOCATION_TEXTBOX", K::Text, ""},
        {"CLI_LOCATION_TEXTBOX", K::Text, ""},
        {"DASH_DAEMON_TICKBOX", K::TickBox, "0"},
        {"DISABLE_DAEMON_TICKBOX", K::TickBox, "0"},
    };
    ASSERT_EQ(setting_keys().size(), std::size(expected));
    std::set<std::string_view> names;
    for (const auto& e : expected) {
        SCOPED_TRACE(std::string(e.name));
        const SettingKey& k = setting_key(e.name);
        EXPECT_EQ(k.kind, e.kind);
        EXPECT_EQ(k.fallback, e.fallback);
        names.insert(k.name);
    }
    EXPECT_EQ(names.size(), 29u);
    EXPECT_THROW(setting_key("MAINLEFT"), std::out_of_range);  // keys are spelled exactly
}

TEST(SettingConversions, TickBoxTextsConvertToZeroOneOrTwoAndAnythingElseIsRejected) {
    EXPECT_EQ(parse_tick("0"), 0);
    EXPECT_EQ(parse_tick("1"), 1);
    EXPECT_EQ(parse_tick("2"), 2);
    EXPECT_EQ(parse_tick(" 1 "), 1);
    for (const char* bad : {"", " ", "3", "-1", "yes", "1x", "1.0", "65536", "99999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_tick(bad).has_value());
    }
}

TEST(SettingConversions, CoordinatesReadAsFiniteSinglePrecisionNumbers) {
    EXPECT_EQ(parse_coordinate("1000"), 1000.0f);
    EXPECT_EQ(parse_coordinate("1234.5"), 1234.5f);
    EXPECT_EQ(parse_coordinate("-120"), -120.0f);  // a window on a monitor left of the main one
    EXPECT_EQ(parse_coordinate("1e3"), 1000.0f);
    for (const char* bad : {"", "abc", "12px", "1,5", "1e99", "nan", "inf", "-"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_coordinate(bad).has_value());
    }
}

TEST(SettingConversions, CoordinatesAreWrittenAsTheShortestTextThatReadsBackTheSame) {
    EXPECT_EQ(format_coordinate(1000.0f), "1000");
    EXPECT_EQ(format_coordinate(1234.5f), "1234.5");
    EXPECT_EQ(format_coordinate(-120.0f), "-120");
    EXPECT_EQ(format_coordinate(0.1f), "0.1");
    for (float v : {0.0f, 1000.0f, 1234.5f, 0.1f, 12345.67f, -7.25f, 1e-3f}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(parse_coordinate(format_coordinate(v)), v);
    }
}

struct SettingsTest : ::testing::Test {
    fake::Store store;
    fake::Executable exe{"NODE-A"};
    Settings settings{store, exe};
};

TEST_F(SettingsTest, AbsentKeysGiveTheirDefaultsUnderTheApplicationAndTheExecutablesSection) {
    EXPECT_EQ(settings.coordinate("SETTINGS-Width"), 12105.0f);
    EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
    EXPECT_EQ(settings.tick("AUTOSTART_TICKBOX"), 0);
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "");
    EXPECT_EQ(store.applications, (std::set<std::string>{"VQ-DAZ-ER"}));
    store.put("NODE-B", "MainLeft", "77");  // another executable's section is not ours
    EXPECT_EQ(settings.coordinate("MainLeft"), 1000.0f);
}

TEST_F(SettingsTest, StoredTextsThatDoNotConvertFallBackToTheDefault) {
    store.put("NODE-A", "MainWidth", "wide");
    store.put("NODE-A", "AlwaysOnTopTimer_TICKBOX", "7");
    store.put("NODE-A", "CLI_GBC_BAT_TICKBOX", "");
    store.put("NODE-A", "MainTop", "1e99");
    EXPECT_EQ(settings.coordinate("MainWidth"), 5280.0f);
    EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
    EXPECT_EQ(settings.tick("CLI_GBC_BAT_TICKBOX"), 0);
    EXPECT_EQ(settings.coordinate("MainTop"), 1000.0f);
}

TEST_F(SettingsTest, ValuesRoundTripThroughTheStoreAsTheirTexts) {
    settings.save_tick("AUTOCLOSE_TIMER_TICKBOX", 1);
    settings.save_coordinate("MainLeft", 1234.5f);
    settings.save_text("RUN_COMMAND_TEXTBOX", "  notify.cmd \"x y\"  ");
    settings.save_text("CLI_NAME_TEXTBOX", "");
    EXPECT_EQ(store.value("NODE-A", "AUTOCLOSE_TIMER_TICKBOX"), "1");
    EXPECT_EQ(store.value("NODE-A", "MainLeft"), "1234.5");
    EXPECT_EQ(settings.tick("AUTOCLOSE_TIMER_TICKBOX"), 1);
    EXPECT_EQ(settings.coordinate("MainLeft"), 1234.5f);
    EXPECT_EQ(settings.text("RUN_COMMAND_TEXTBOX"), "  notify.cmd \"x y\"  ");  // never trimmed
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "");  // saved empty reads back as absent would
    EXPECT_THROW(settings.save_text("NO_SUCH_KEY", "x"), std::out_of_range);
}

TEST_F(SettingsTest, TheSectionFollowsTheExecutableNameAtEachAccess) {
    settings.save_tick("CLI_GBC_BAT_TICKBOX", 1);
    exe.exe = "NODE-B";
    EXPECT_EQ(settings.tick("CLI_GBC_BAT_TICKBOX"), 0);
    settings.save_tick("CLI_GBC_BAT_TICKBOX", 2);
    EXPECT_EQ(store.value("NODE-A", "CLI_GBC_BAT_TICKBOX"), "1");
    EXPECT_EQ(store.value("NODE-B", "CLI_GBC_BAT_TICKBOX"), "2");
}

}  // namespace
}  // namespace vqd
