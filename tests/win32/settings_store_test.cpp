// The settings store against the real registry: what vqd::Settings writes is
// what it reads back, where the platform's own per-user settings functions
// keep it, and nothing leaks between sections.
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_text.h"
#include "support.h"
#include "windows/settings.h"

#include <gtest/gtest.h>

namespace vqd {
namespace {

using win32::widen;

class RegistryStoreTest : public ::testing::Test {
protected:
    Win32SettingsStore store;
    fake::Executable first{test::unique_name("vqd-test-a")};
    fake::Executable second{test::unique_name("vqd-test-b")};

    ~RegistryStoreTest() override {
        for (const auto* exe : {&first, &second})
            RegDeleteTreeW(HKEY_CURRENT_USER,
                           widen(Win32SettingsStore::section_path(std::string(kApplication), exe->exe)).c_str());
    }

    // The value as the registry holds it, with its type.
    std::pair<DWORD, std::wstring> raw(const std::string& section, const std::string& key) {
        wchar_t buffer[512] = {};
        DWORD size = sizeof buffer;
        DWORD type = 0;
        const LSTATUS status =
            RegGetValueW(HKEY_CURRENT_USER, widen(Win32SettingsStore::section_path("VQ-DAZ-ER", section)).c_str(),
                         widen(key).c_str(), RRF_RT_ANY, &type, buffer, &size);
        if (status != ERROR_SUCCESS) return {REG_NONE, L""};
        return {type, buffer};
    }
};

TEST_F(RegistryStoreTest, ThreeKindsRoundTripAsRegSzUnderTheProgramSettingsKey) {
    Settings settings(store, first);
    settings.save_tick("CLI_GBC_BAT_TICKBOX", 1);
    settings.save_coordinate("MainLeft", 1234.5f);
    settings.save_text("CLI_NAME_TEXTBOX", "bitcoin-cli.exe");
    settings.save_text("RUN_COMMAND_TEXTBOX", "C:\\Κόμβος\\run me.cmd \"x\"");

    EXPECT_EQ(settings.tick("CLI_GBC_BAT_TICKBOX"), 1);
    EXPECT_EQ(settings.coordinate("MainLeft"), 1234.5f);
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "bitcoin-cli.exe");
    EXPECT_EQ(settings.text("RUN_COMMAND_TEXTBOX"), "C:\\Κόμβος\\run me.cmd \"x\"");

    EXPECT_EQ(raw(first.exe, "CLI_GBC_BAT_TICKBOX"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"1")));
    EXPECT_EQ(raw(first.exe, "MainLeft"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"1234.5")));
    EXPECT_EQ(raw(first.exe, "RUN_COMMAND_TEXTBOX").second, L"C:\\\u039a\u03cc\u03bc\u03b2\u03bf\u03c2\\run me.cmd \"x\"");
}

TEST_F(RegistryStoreTest, AbsentSectionAndAbsentKeyGiveTheDefaults) {
    Settings settings(store, first);
    EXPECT_EQ(settings.coordinate("MainWidth"), 5280.0f);
    EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
    EXPECT_EQ(settings.text("CONF_LOCATION_TEXTBOX"), "");

    settings.save_tick("AUTOSTART_TICKBOX", 1);  // the section now exists
    EXPECT_EQ(settings.coordinate("SETTINGS-Height"), 7260.0f);
    EXPECT_EQ(store.get("VQ-DAZ-ER", first.exe, "NO_SUCH_KEY", "fallback"), "fallback");
}

TEST_F(RegistryStoreTest, EmptyTextIsStoredAndReadBackEmpty) {
    Settings settings(store, first);
    settings.save_text("UPDATE_EXTERNAL_FILE_TEXTBOX", "");
    EXPECT_EQ(raw(first.exe, "UPDATE_EXTERNAL_FILE_TEXTBOX"), std::make_pair(DWORD{REG_SZ}, std::wstring()));
    EXPECT_EQ(store.get("VQ-DAZ-ER", first.exe, "UPDATE_EXTERNAL_FILE_TEXTBOX", "x"), "");
}

TEST_F(RegistryStoreTest, TwoSectionsKeepTheirOwnValues) {
    Settings a(store, first);
    Settings b(store, second);
    a.save_tick("CLI_GCC_BAT_TICKBOX", 1);
    a.save_text("CLI_NAME_TEXTBOX", "litecoin-cli.exe");
    b.save_text("CLI_NAME_TEXTBOX", "bitcoin-cli.exe");

    EXPECT_EQ(a.text("CLI_NAME_TEXTBOX"), "litecoin-cli.exe");
    EXPECT_EQ(b.text("CLI_NAME_TEXTBOX"), "bitcoin-cli.exe");
    EXPECT_EQ(b.tick("CLI_GCC_BAT_TICKBOX"), 0);
}

TEST_F(RegistryStoreTest, AValueOfAnotherTypeCountsAsAbsent) {
    Settings settings(store, first);
    settings.save_text("CLI_NAME_TEXTBOX", "x");  // creates the section
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                            widen(Win32SettingsStore::section_path("VQ-DAZ-ER", first.exe)).c_str(), 0, KEY_SET_VALUE,
                            &key),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExW(key, L"MainTop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(settings.coordinate("MainTop"), 1000.0f);
}

TEST_F(RegistryStoreTest, SaveAllIsAllOrNone) {
    Settings settings(store, first);
    settings.save_text("CLI_NAME_TEXTBOX", "before");
    store.save_all("VQ-DAZ-ER", first.exe, {{"CLI_NAME_TEXTBOX", "after"}, {"MainLeft", "1500"}});
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "after");
    EXPECT_EQ(settings.coordinate("MainLeft"), 1500.0f);
    // A value name the registry refuses (longer than its 16,383 characters) fails the
    // save; the values set before it in the same save are put back.
    const std::string refused(20000, 'k');
    EXPECT_THROW(store.save_all("VQ-DAZ-ER", first.exe,
                                {{"CLI_NAME_TEXTBOX", "lost"}, {"MainTop", "7"}, {refused, "x"}}),
                 PlatformError);
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "after");
    EXPECT_EQ(raw(first.exe, "MainTop").first, DWORD{REG_NONE});
}

TEST_F(RegistryStoreTest, KeyThatCannotBeOpenedGivesDefaultsAndIsReported) {
    // A section whose key the registry cannot open: a name past its 255-character limit.
    fake::Executable unopenable{std::string(300, 's')};
    Settings settings(store, unopenable);
    EXPECT_EQ(settings.coordinate("MainLeft"), 1000.0f);
    EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
    EXPECT_FALSE(settings.read_failure().empty());
    EXPECT_THROW(settings.save_coordinate("MainLeft", 5), PlatformError);
}

}  // namespace
}  // namespace vqd
