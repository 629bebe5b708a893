// The small services: the executable's name, the error log and the start-up entry.
#include "platform/win32/win32_error_log.h"
#include "platform/win32/win32_executable_name.h"
#include "platform/win32/win32_start_at_login.h"
#include "platform/win32/win32_text.h"
#include "support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>
#include <regex>
#include <vector>

namespace vqd {
namespace {

TEST(ExecutableName, IsTheRunningModulesFileNameWithoutItsExtension) {
    EXPECT_EQ(Win32ExecutableName().name(), "win32_platform_tests");
    EXPECT_EQ(Win32ExecutableName::base_name("C:\\Tools\\VQ-DAZ-ER.exe"), "VQ-DAZ-ER");
    EXPECT_EQ(Win32ExecutableName::base_name("C:\\a.dir\\copy.v2.EXE"), "copy.v2");
    EXPECT_EQ(Win32ExecutableName::base_name("C:\\a.dir\\noext"), "noext");
    EXPECT_EQ(Win32ExecutableName::base_name("\\\\server\\share\\Κόμβος.exe"), "Κόμβος");
}

TEST(ErrorLog, AppendsTimeStampedLinesBesideTheProgramsData) {
    fake::Executable executable{test::unique_name("vqd-errors")};
    Win32ErrorLog log(executable);
    wchar_t appdata[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appdata), S_OK);
    const std::string path = log.location();
    EXPECT_EQ(path, win32::narrow(appdata) + "\\VQ-DAZ-ER\\" + executable.exe + "-errors.log");

    log.record("run command \"C:\\x\\DAZ-ER-GBC.BAT\": File not found (2)");
    log.record("two\r\nlines");
    const std::string bytes = test::file_bytes(path);
    DeleteFileW(win32::widen(path).c_str());
    const std::regex expected(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d run command \"C:\\\\x\\\\DAZ-ER-GBC.BAT\": File not found \\(2\\)\r\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d two  lines\r\n");
    EXPECT_TRUE(std::regex_match(bytes, expected)) << bytes;
}

// --- Start at login ---

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::optional<std::vector<BYTE>> reg_bytes(const wchar_t* key, const std::wstring& name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_ANY, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<BYTE> bytes(size);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_ANY, nullptr, bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::optional<std::wstring> run_text(const std::wstring& name) {
    auto bytes = reg_bytes(kRunKey, name);
    if (!bytes) return std::nullopt;
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes->data()), bytes->size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

void put_approved(const std::wstring& name, std::vector<BYTE> bytes) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, name.c_str(), REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

TEST(StartAtLogin, TheRunValueHoldsTheQuotedPathAndTheStartUpListDecides) {
    const std::wstring name = win32::widen(test::unique_name("VQ panel")),
                       other = win32::widen(test::unique_name("BTC-panel"));
    Win32StartAtLogin login(name, L"C:\\Program Files\\VQ Panel\\VQ-DAZ-ER.exe"), kept(other, L"C:\\x\\BTC-panel.exe");
    EXPECT_FALSE(login.enabled());
    login.set_enabled(true);
    kept.set_enabled(true);
    EXPECT_EQ(run_text(name), L"\"C:\\Program Files\\VQ Panel\\VQ-DAZ-ER.exe\"");
    EXPECT_FALSE(reg_bytes(kApprovedKey, name).has_value());
    EXPECT_TRUE(login.enabled());

    // The first byte of the start-up list's entry: odd is switched off by the user.
    const struct {
        std::vector<BYTE> approved;
        bool on;
    } rows[] = {
        {{0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        {{0x07, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, false},
        {{0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
    };
    for (const auto& row : rows) {
        put_approved(name, row.approved);
        EXPECT_EQ(login.enabled(), row.on) << int(row.approved[0]);
    }
    // Another program under our name is not ours; our path in other letter case is.
    auto put_run = [&](const std::wstring& line) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, name.c_str(), REG_SZ, line.c_str(),
                                  DWORD((line.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    put_run(L"\"C:\\y\\other.exe\" /min");
    EXPECT_FALSE(login.enabled());
    put_run(L"\"C:\\PROGRAM FILES\\VQ PANEL\\VQ-DAZ-ER.EXE\" /min");
    EXPECT_TRUE(login.enabled());

    // Switched off in the list, then on here: the list says enabled again.
    put_approved(name, {0x03, 0, 0, 0, 0x10, 0x20, 0x30, 0x40, 0, 0, 0, 0});
    EXPECT_FALSE(login.enabled());
    login.set_enabled(true);
    EXPECT_TRUE(login.enabled());
    EXPECT_EQ(reg_bytes(kApprovedKey, name), (std::vector<BYTE>{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // Off removes exactly our value and our list entry.
    put_approved(other, {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    login.set_enabled(false);
    login.set_enabled(false);
    EXPECT_FALSE(run_text(name).has_value());
    EXPECT_FALSE(reg_bytes(kApprovedKey, name).has_value());
    EXPECT_EQ(run_text(other), L"\"C:\\x\\BTC-panel.exe\"");
    EXPECT_TRUE(reg_bytes(kApprovedKey, other).has_value());
    EXPECT_FALSE(login.enabled());
    kept.set_enabled(false);
    EXPECT_FALSE(reg_bytes(kApprovedKey, other).has_value());
}

}  // namespace
}  // namespace vqd
