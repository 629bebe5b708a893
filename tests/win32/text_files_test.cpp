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
#include <cstdio>
#include <cstdlib>
#include <vector>

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

TEST(BatchLinePaths, EveryPathIsFoundAndTheCalledProgramIsTheFirst) {
    const auto marked = [](const std::wstring& path, bool program) {
        return (program ? L"P[" : L"[") + path + L"]";
    };
    EXPECT_EQ(Win32TextFiles::shorten_paths(
                  L"call \"C:\\Κ dir\\cli.exe\" -conf=C:\\Κ\\a.conf getblockcount > C:\\Κ\\DAZ-ER-GBC.LOG", marked),
              L"call \"P[C:\\Κ dir\\cli.exe]\" -conf=[C:\\Κ\\a.conf] [getblockcount] > [C:\\Κ\\DAZ-ER-GBC.LOG]");
    // A redirection written against its path, an unquoted blank that splits a
    // path, and a line that calls its program without "call".
    EXPECT_EQ(Win32TextFiles::shorten_paths(L"CALL x >C:\\日本\\l.log", marked), L"CALL P[x] >[C:\\日本\\l.log]");
    EXPECT_EQ(Win32TextFiles::shorten_paths(L"C:\\cli.exe > C:\\Κ b\\l.log", marked),
              L"P[C:\\cli.exe] > [C:\\Κ] [b\\l.log]");
}

TEST_F(TextFilesTest, OnlyTheComponentsTheCodePageCannotHoldAreShortened) {
    TempFolder greek("Κόμβος dir");
    CreateDirectoryW(win32::widen(greek / "café").c_str(), nullptr);
    const auto in_850 = [](const std::wstring& s) {
        std::string bytes;
        return win32::encode(s, 850, bytes);
    };
    const std::wstring path = win32::widen(greek / "café\\Κόμβος.log");
    const std::wstring shortened = Win32TextFiles::shorten_components(path, in_850, false);
    // The Greek folder has its short name; "café" (in code page 850) and the
    // temporary folder above are kept; the log, not there yet, cannot be shortened.
    const std::wstring parent = win32::widen(folder.path()).substr(0, win32::widen(folder.path()).rfind(L'\\'));
    EXPECT_EQ(shortened.substr(0, parent.size() + 1), parent + L"\\");
    const std::wstring rest = shortened.substr(parent.size() + 1);
    EXPECT_TRUE(in_850(rest.substr(0, rest.find(L'\\')))) << win32::narrow(shortened);
    EXPECT_EQ(rest.substr(rest.find(L'\\')), L"\\café\\Κόμβος.log");
}

TEST_F(TextFilesTest, WritesWorkUnderEveryCodePageTheSystemMayHave) {
    // "UTF-8 for worldwide language support": ANSI and OEM are both 65001.
    Win32TextFiles utf8(65001, 65001);
    utf8.write_line(folder / "external.txt", "Κόμβος café 12");
    EXPECT_EQ(file_bytes(folder / "external.txt"), "Κόμβος café 12\r\n");
    const std::string line = "call \"C:\\Κόμβος\\cli.exe\" -conf=C:\\Κ\\n.conf getblockcount > C:\\Κ\\DAZ-ER-GBC.LOG";
    utf8.write_line(folder / "DAZ-ER-GBC.BAT", line);
    EXPECT_EQ(file_bytes(folder / "DAZ-ER-GBC.BAT"), line + "\r\n");  // nothing to shorten
    test::put_file(folder / "utf8.log", "Κ\r\n");
    EXPECT_EQ(utf8.read_whole(folder / "utf8.log"), "Κ\r\n");

    // Western Europe: ANSI 1252, OEM 850.
    Win32TextFiles western(1252, 850);
    western.write_line(folder / "external.txt", "café 12");
    EXPECT_EQ(file_bytes(folder / "external.txt"), "caf\xE9 12\r\n");
    western.write_line(folder / "DAZ-ER-STOP.BAT", "call \"C:\\café\\cli.exe\" stop");
    EXPECT_EQ(file_bytes(folder / "DAZ-ER-STOP.BAT"), "call \"C:\\caf\x82\\cli.exe\" stop\r\n");
    try {
        western.write_line(folder / "external.txt", "Κόμβος");
        FAIL() << "a Greek text was written in code page 1252";
    } catch (const PlatformError& e) {
        EXPECT_NE(e.reason().find("ANSI code page 1252"), std::string::npos) << e.what();
    }
    EXPECT_EQ(file_bytes(folder / "external.txt"), "caf\xE9 12\r\n");
}

TEST_F(TextFilesTest, TheClientsOwnFileNameIsNeverShortened) {
    TempFolder greek("Κόμβος");
    test::copy_file(test::test_client_path(), greek / "node client.exe");
    const std::string bat = folder / "DAZ-ER-GBC.BAT";
    Win32TextFiles western(1252, 850);
    western.write_line(bat, "call \"" + (greek / "node client.exe") + "\" getblockcount");
    const std::string bytes = file_bytes(bat);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        << bytes;
    const std::string tail = "\\node client.exe\" getblockcount\r\n";
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);  // the image name the watcher looks for

    // A client named in a script the OEM code page lacks: said at the save,
    // and the earlier batch file stays.
    test::copy_file(test::test_client_path(), greek / "κόμβος.exe");
    try {
        western.write_line(bat, "call \"" + (greek / "κόμβος.exe") + "\" getblockcount");
        FAIL() << "a client name outside code page 850 was written";
    } catch (const PlatformError& e) {
        EXPECT_NE(e.reason().find("\"κόμβος.exe\""), std::string::npos) << e.what();
        EXPECT_NE(e.reason().find("OEM code page 850"), std::string::npos) << e.what();
    }
    EXPECT_EQ(file_bytes(bat), bytes);
}

std::vector<std::wstring> files_in(const std::string& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(win32::widen(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

TEST_F(TextFilesTest, AReplaceThatFailsLeavesTheEarlierFileWholeAndNothingBeside) {
    const std::string path = folder / "external.txt";
    const std::string earlier(6000, 'a');
    files.write_line(path, earlier);
    // Another program holds the file open and lets no one replace it.
    HANDLE holder = CreateFileW(win32::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_THROW(files.write_line(path, "1"), PlatformError);
    CloseHandle(holder);
    EXPECT_TRUE(file_bytes(path) == earlier + "\r\n") << file_bytes(path).size() << " bytes";
    EXPECT_EQ(files_in(folder.path()), std::vector<std::wstring>{L"external.txt"});
}

// On a filesystem that refuses the write itself: the test script mounts a
// small tmpfs, fills it to its last page or remounts it read-only, and names
// it in VQD_FAULT_FOLDER, where a 6 KB external file and batch file lie.
TEST(WriteFaults, AWriteTheFilesystemRefusesLeavesTheEarlierFileWhole) {
    const char* folder = std::getenv("VQD_FAULT_FOLDER");
    if (!folder) GTEST_SKIP() << "run by write_faults_test.sh";
    const auto before = files_in(folder);
    Win32TextFiles files;
    for (const char* name : {"external.txt", "DAZ-ER-GBC.BAT"}) {
        const std::string path = std::string(folder) + "\\" + name;
        const std::string earlier = file_bytes(path);
        ASSERT_EQ(earlier.size(), 6002u) << name;
        try {
            files.write_line(path, std::string(12000, 'b'));
            ADD_FAILURE() << name << " was written";
        } catch (const PlatformError& e) {
            std::printf("[ figures  ] %s: %s\n", name, e.what());
        }
        EXPECT_TRUE(file_bytes(path) == earlier) << name << ": " << file_bytes(path).size() << " bytes";
    }
    EXPECT_EQ(files_in(folder), before);
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
    EXPECT_NE(bytes.find("\\node client.exe\""), std::string::npos) << bytes;

    Win32CommandRunner().run(bat, WindowStyle::Hidden);
    ASSERT_TRUE(test::pump_until([&] { return file_bytes(log).find('\n') != std::string::npos; }, 15000))
        << "the log stayed " << file_bytes(log) << "; batch: " << bytes;
    EXPECT_EQ(files.read_whole(log), "4242\r\n");
}

INSTANTIATE_TEST_SUITE_P(Scripts, BatchFromForeignFolder,
                         ::testing::Values("Κόμβος-VQ", "ノード-VQ", "Ünïcödé-VQ"));

}  // namespace
}  // namespace vqd
