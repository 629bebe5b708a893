// The small services: the executable's name and the error log.
#include "platform/win32/win32_error_log.h"
#include "platform/win32/win32_executable_name.h"
#include "platform/win32/win32_text.h"
#include "support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <regex>

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

}  // namespace
}  // namespace vqd
