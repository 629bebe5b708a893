// Text files on Windows: exact bytes with CR LF, whole reads with the 16-bit
// limit, the ANSI code page for ordinary files, and batch files that reach the
// command interpreter intact even from folders named in other scripts.
#include "platform/failure.h"
#include "platform/win32/win32_command_runner.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_text_files.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vqd {
namespace {

using test::file_bytes;
using test::TempFolder;

class TextFilesTest : public ::testing::Test {
protected:
    Win32TextFiles files;
    TempFolder folder{"vqd files"};
};

TEST_F(TextFilesTest, WriteLineGivesTheLineAndOneCrLfAndReplacesTheFileWhole) {
    const std::string path = folder / "DAZ-ER-GBC.BAT";
    files.write_line(path, "call \"C:\\bin\\x.exe\" -conf=C:\\x.conf getblockcount > C:\\w\\DAZ-ER-GBC.LOG");
    EXPECT_EQ(file_bytes(path), "call \"C:\\bin\\x.exe\" -conf=C:\\x.conf getblockcount > C:\\w\\DAZ-ER-GBC.LOG\r\n");
    files.write_line(path, "short");
    EXPECT_EQ(file_bytes(path), "short\r\n");
    files.write_line(path, "");
    EXPECT_EQ(file_bytes(path), "\r\n");
}

TEST_F(TextFilesTest, ReadWholeReturnsEveryByteLineEndsIncluded) {
    test::put_file(folder / "a.log", "654321\r\n");
    EXPECT_EQ(files.read_whole(folder / "a.log"), "654321\r\n");
    test::put_file(folder / "b.log", "1\n2\r\r\n");
    EXPECT_EQ(files.read_whole(folder / "b.log"), "1\n2\r\r\n");
    test::put_file(folder / "empty.log", "");
    EXPECT_EQ(files.read_whole(folder / "empty.log"), "");
}

TEST_F(TextFilesTest, ReadWholeStopsAt32767Bytes) {
    test::put_file(folder / "max.log", std::string(32767, 'x'));
    EXPECT_EQ(files.read_whole(folder / "max.log").size(), 32767u);
    test::put_file(folder / "over.log", std::string(32768, 'x'));
    try {
        files.read_whole(folder / "over.log");
        FAIL() << "a 32768-byte log was read";
    } catch (const PlatformError& e) {
        EXPECT_NE(e.reason().find("32768"), std::string::npos) << e.what();
    }
}

TEST_F(TextFilesTest, FailuresCarryTheSystemsReason) {
    try {
        files.read_whole(folder / "missing.log");
        FAIL() << "a missing log was read";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.operation(), "read file");
        EXPECT_EQ(e.subject(), folder / "missing.log");
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_THROW(files.write_line(folder / "no such folder\\x.txt", "1"), PlatformError);
    EXPECT_THROW(files.write_line("", "1"), PlatformError);
}

TEST_F(TextFilesTest, OrdinaryFilesAreInTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "expects the Western ANSI code page, this system has " << GetACP();
    files.write_line(folder / "external.txt", "café 12");
    EXPECT_EQ(file_bytes(folder / "external.txt"), "caf\xE9 12\r\n");
    test::put_file(folder / "ansi.log", "\xE9\xFC\r\n");
    EXPECT_EQ(files.read_whole(folder / "ansi.log"), "éü\r\n");
}

TEST_F(TextFilesTest, ACharacterTheCodePageLacksIsRefusedNotReplaced) {
    if (GetACP() != 1252) GTEST_SKIP() << "expects the Western ANSI code page";
    const std::string path = folder / "external.txt";
    try {
        files.write_line(path, "Κόμβος");
        FAIL() << "a Greek text was written in code page 1252";
    } catch (const PlatformError& e) {
        EXPECT_NE(e.reason().find("Κ"), std::string::npos) << e.what();
    }
    EXPECT_EQ(file_bytes(path), "<missing>");
}

TEST(BatchLinePaths, OnlyPathsOutsideAsciiAreShortened) {
    const auto marked = [](const std::wstring& path) { return L"[" + path + L"]"; };
    EXPECT_EQ(Win32TextFiles::shorten_paths(
                  L"call \"C:\\Κ dir\\cli.exe\" -conf=C:\\Κ\\a.conf getblockcount > C:\\Κ\\DAZ-ER-GBC.LOG", marked),
              L"call \"[C:\\Κ dir\\cli.exe]\" -conf=[C:\\Κ\\a.conf] getblockcount > [C:\\Κ\\DAZ-ER-GBC.LOG]");
    const std::wstring ascii = L"call \"C:\\a b\\cli.exe\" -conf=C:\\a.conf stop";
    EXPECT_EQ(Win32TextFiles::shorten_paths(ascii, marked), ascii);
    // A redirection written against its path, and an unquoted blank that splits a path.
    EXPECT_EQ(Win32TextFiles::shorten_paths(L"x >C:\\日本\\l.log", marked), L"x >[C:\\日本\\l.log]");
    EXPECT_EQ(Win32TextFiles::shorten_paths(L"> C:\\Κ b\\l.log", marked), L"> [C:\\Κ] b\\l.log");
}

TEST_F(TextFilesTest, ShortFormShortensTheExistingPartOfAPath) {
    TempFolder greek("Κόμβος dir");
    const std::wstring folder_path = win32::widen(greek.path());
    const std::wstring shortened = Win32TextFiles::short_form(folder_path + L"\\DAZ-ER-GBC.LOG");
    EXPECT_TRUE(std::all_of(shortened.begin(), shortened.end(), [](wchar_t c) { return c < 0x80; }))
        << win32::narrow(shortened);
    EXPECT_EQ(shortened.substr(shortened.size() - 15), L"\\DAZ-ER-GBC.LOG");
}

// The whole road of a batch file from a folder named in another script: written
// by the service, run through cmd.exe, the client reading its conf and the
// redirection writing the log where the program reads it.
class BatchFromForeignFolder : public ::testing::TestWithParam<const char*> {};

TEST_P(BatchFromForeignFolder, ReachesTheClientAndWritesTheLog) {
    // The configuration path goes into the line unquoted, so the folder has no
    // blank; the client's own (quoted) name has one.
    TempFolder folder(GetParam());
    const std::string client = folder / "node client.exe";
    test::copy_file(test::test_client_path(), client);
    test::put_file(folder / "node.conf", "blocks=4242\r\n");
    const std::string bat = folder / "DAZ-ER-GBC.BAT";
    const std::string log = folder / "DAZ-ER-GBC.LOG";

    Win32TextFiles files;
    files.write_line(bat, "call \"" + client + "\" -conf=" + (folder / "node.conf") + " getblockcount > " + log);
    const std::string bytes = file_bytes(bat);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        << bytes;

    Win32CommandRunner().run(bat, WindowStyle::Hidden);
    ASSERT_TRUE(test::pump_until([&] { return file_bytes(log).find('\n') != std::string::npos; }, 15000))
        << "the log stayed " << file_bytes(log) << "; batch: " << bytes;
    EXPECT_EQ(files.read_whole(log), "4242\r\n");
}

INSTANTIATE_TEST_SUITE_P(Scripts, BatchFromForeignFolder,
                         ::testing::Values("Κόμβος-VQ", "ノード-VQ", "Ünïcödé-VQ"));

}  // namespace
}  // namespace vqd
