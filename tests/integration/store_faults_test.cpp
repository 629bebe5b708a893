// Writes that cannot complete, on real filesystems: a small tmpfs filled to
// its last page, a tmpfs remounted read-only, a file-size limit. The faults
// come from the filesystem itself, not from permission bits; mounting the
// tmpfs takes root, so those tests say AsRoot and CI runs them as root. Also
// start-up over a settings file that cannot be read, the INI text against
// QSettings' own, and two copies saving at once.
#include "helpers.h"

#include "platform/failure.h"
#include "platform/posix/posix_executable_name.h"
#include "platform/posix/posix_settings_store.h"
#include "platform/posix/posix_text_files.h"
#include "platform/posix/whole_file.h"
#include "windows/settings.h"

#include <QSettings>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace vqd::it {
namespace {

// A 64 KB tmpfs mounted on a fresh folder for the life of the object.
class SmallTmpfs {
public:
    SmallTmpfs() {
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    std::string operator/(const std::string& name) const { return dir_ / name; }
    const fs::path& path() const { return dir_.path(); }

    // Fill every page but one: tmpfs hands out space in 4 KB pages.
    void fill_to_last_page() {
        const std::string filler = dir_ / "filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string page(4096, 'f');
        off_t size = 0;
        ssize_t n;
        while ((n = ::write(fd, page.data(), page.size())) > 0) size += n;
        ASSERT_EQ(errno, ENOSPC);
        ASSERT_EQ(::ftruncate(fd, (size / 4096 - 1) * 4096), 0);
        ::close(fd);
    }
    void remount_read_only() {
        ASSERT_EQ(::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    }

private:
    TempDir dir_;
    bool mounted_ = false;
};

#define REQUIRE_MOUNT(fs)                                                        \
    if (!(fs).mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)"

std::string text_of_size(std::size_t n, char fill) {
    std::string s;
    while (s.size() < n) s += std::string("line of text ") + fill + "\n";
    s.resize(n);
    return s;
}

// Only the file itself: no temporary left behind beside it.
std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string reason_of(const std::function<void()>& write) {
    try {
        write();
    } catch (const PlatformError& e) {
        return e.reason();
    }
    return "(no failure)";
}

// --- The whole-file writer ---

TEST(WholeFile, FullFilesystemKeepsThePreviousFileAsRoot) {
    SmallTmpfs tmp;
    REQUIRE_MOUNT(tmp);
    const std::string path = tmp / "settings.ini";
    const std::string previous = text_of_size(6 * 1024, 'a');
    put(path, previous);
    tmp.fill_to_last_page();

    // 6 KB needs two pages; only one is free.
    EXPECT_EQ(reason_of([&] { posix::write_file_whole(path, text_of_size(6 * 1024, 'b')); }),
              "No space left on device");
    EXPECT_EQ(slurp(path), previous);
    EXPECT_EQ(names_in(tmp.path()), (std::vector<std::string>{"filler", "settings.ini"}));
    // A batch file (or the external file) the same way.
    PosixTextFiles files;
    EXPECT_EQ(reason_of([&] { files.write_line(path, text_of_size(5000, 'c')); }), "No space left on device");
    EXPECT_EQ(slurp(path), previous);
    // What fits in the last page is written.
    files.write_line(path, "123456");
    EXPECT_EQ(slurp(path), "123456\n");
}

TEST(WholeFile, ReadOnlyFilesystemKeepsThePreviousFileAsRoot) {
    SmallTmpfs tmp;
    REQUIRE_MOUNT(tmp);
    const std::string path = tmp / "DAZ-ER-GBC.BAT";
    put(path, "call old\n");
    tmp.remount_read_only();
    PosixTextFiles files;
    EXPECT_EQ(reason_of([&] { files.write_line(path, "call new"); }), "Read-only file system");
    EXPECT_EQ(slurp(path), "call old\n");
}

TEST(WholeFile, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    TempDir dir;
    const std::string real = dir / "kept-elsewhere.ini";
    const std::string link = dir / "settings.ini";
    put(real, "old\n");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    posix::write_file_whole(link, "new\n");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "new\n");
}

// A configuration home with the settings folder made.
struct SettingsHome {
    TempDir dir;
    ConfigHome home{dir.path()};
    std::string file = dir / "VQ-DAZ-ER/LTC-panel.ini";
    SettingsHome() { fs::create_directories(dir / "VQ-DAZ-ER"); }
};

// A settings file kept elsewhere through a link that names a file not made yet.
TEST(WholeFile, ALinkToASettingsFileNotThereYetIsWrittenThroughOrReported) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link (in the settings folder), what it names
        std::string target;                                      // the file the save makes, "" when none
    } cases[] = {
        {"relative link", {{"LTC-panel.ini", "../dotfiles/panel.ini"}}, "dotfiles/panel.ini"},
        {"two links", {{"LTC-panel.ini", "second.ini"}, {"second.ini", "../dotfiles/panel.ini"}}, "dotfiles/panel.ini"},
        {"the target's folder is missing", {{"LTC-panel.ini", "../no-such-folder/panel.ini"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsHome h;
        fs::create_directories(h.dir / "dotfiles");
        for (const auto& [link, names] : c.links)
            ASSERT_EQ(::symlink(names.c_str(), (h.dir / "VQ-DAZ-ER/" + link).c_str()), 0);
        PosixSettingsStore store;
        if (c.target.empty()) {
            try {
                store.save("VQ-DAZ-ER", "LTC-panel", "MainLeft", "1500");
                ADD_FAILURE() << "the save was not reported";
            } catch (const PlatformError& e) {
                EXPECT_NE(std::string(e.what()).find(h.file), std::string::npos) << e.what();
            }
            EXPECT_FALSE(fs::exists(h.dir / "no-such-folder"));
        } else {
            store.save("VQ-DAZ-ER", "LTC-panel", "MainLeft", "1500");
            EXPECT_EQ(slurp(h.dir / c.target), "[General]\nMainLeft=1500\n");
            EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "MainLeft", ""), "1500");
        }
        EXPECT_EQ(fs::read_symlink(h.file), c.links.front().second);
        EXPECT_EQ(names_in(h.dir / "VQ-DAZ-ER").size(), c.links.size()) << "a link was replaced or a temporary left";
    }
}

TEST(WholeFile, FileSizeLimitKeepsThePreviousFile) {
    TempDir dir;
    const std::string path = dir / "settings.ini";
    const std::string previous = text_of_size(3000, 'a');
    put(path, previous);
    // The limit is set in a child, so this test process is not limited.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // as the program does: the limit becomes an ordinary write error
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string reason = reason_of([&] { posix::write_file_whole(path, text_of_size(6 * 1024, 'b')); });
        ::_exit(reason == "File too large" ? 0 : 1);
    }
    EXPECT_EQ(wait_exit(child), 0) << "the write did not fail with EFBIG";
    EXPECT_EQ(slurp(path), previous);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"settings.ini"});
}

// --- The settings store on a failing filesystem ---

class StoreOnTmpfs : public ::testing::Test {
protected:
    SmallTmpfs tmp;
    std::optional<ConfigHome> home;
    PosixSettingsStore store;
    PosixExecutableName exe{"/opt/panel/LTC-panel"};

    void SetUp() override {
        REQUIRE_MOUNT(tmp);
        home.emplace(tmp.path());
        fs::create_directories(tmp.path() / "VQ-DAZ-ER");
    }
    std::string file() const { return tmp / "VQ-DAZ-ER/LTC-panel.ini"; }
    // A 6 KB settings file: a long text first, then the keys.
    std::string six_kilobytes() const {
        return "[General]\nRUN_COMMAND_TEXTBOX=" + std::string(6000, 'x') +
               "\nMainLeft=1500\nCLI_NAME_TEXTBOX=litecoin-cli\n";
    }
};

TEST_F(StoreOnTmpfs, FullFilesystemSaveFailsAndKeepsEveryKeyAsRoot) {
    put(file(), six_kilobytes());
    tmp.fill_to_last_page();
    Settings settings(store, exe);
    EXPECT_THROW(settings.save(Settings::Batch().coordinate("MainLeft", 2000).text("CLI_NAME_TEXTBOX", "new")),
                 PlatformError);
    EXPECT_EQ(slurp(file()), six_kilobytes());
    EXPECT_EQ(settings.coordinate("MainLeft"), 1500.0f);
    EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "litecoin-cli");
}

TEST_F(StoreOnTmpfs, ReadOnlyFilesystemSaveFailsAndReadsStillWorkAsRoot) {
    put(file(), six_kilobytes());
    tmp.remount_read_only();
    Settings settings(store, exe);
    EXPECT_EQ(settings.coordinate("MainLeft"), 1500.0f);
    EXPECT_TRUE(settings.read_failure().empty());
    EXPECT_THROW(settings.save_coordinate("MainLeft", 2000), PlatformError);
    EXPECT_EQ(slurp(file()), six_kilobytes());
}

// --- Start-up over a settings file that cannot be read ---

class StoreStartup : public ::testing::Test {
protected:
    TempDir dir;
    ConfigHome home{dir.path()};
    PosixSettingsStore store;
    PosixExecutableName exe{"/opt/panel/LTC-panel"};
    std::string file() const { return dir / "VQ-DAZ-ER/LTC-panel.ini"; }

    // Every key reads as its default, the failure is kept once, and no save goes through.
    void expect_defaults_and_no_save(const std::string& reason_part) {
        Settings settings(store, exe);
        EXPECT_EQ(settings.coordinate("MainLeft"), 1000.0f);
        EXPECT_EQ(settings.tick("AlwaysOnTopTimer_TICKBOX"), 1);
        EXPECT_EQ(settings.text("CLI_NAME_TEXTBOX"), "");
        EXPECT_NE(settings.read_failure().find(reason_part), std::string::npos) << settings.read_failure();
        EXPECT_NE(settings.read_failure().find(file()), std::string::npos) << settings.read_failure();
        EXPECT_THROW(settings.save_coordinate("MainLeft", 2000), PlatformError);
        // The store itself refuses too, for a caller that never read.
        EXPECT_THROW(store.save("VQ-DAZ-ER", "LTC-panel", "MainLeft", "2000"), PlatformError);
    }
};

TEST_F(StoreStartup, UnreadableStoreAFolderWhereTheFileShouldBe) {
    fs::create_directories(file());
    put(file() + "/keep", "x");
    expect_defaults_and_no_save("Is a directory");
    EXPECT_EQ(slurp(file() + "/keep"), "x");
}

TEST_F(StoreStartup, NotIniTextGivesDefaultsAndIsNeverOverwritten) {
    fs::create_directories(dir / "VQ-DAZ-ER");
    const std::string text = "[General]\nMainLeft=1500\nthis line is no INI\nCLI_NAME_TEXTBOX=litecoin-cli\n";
    put(file(), text);
    expect_defaults_and_no_save("not INI text");
    EXPECT_EQ(slurp(file()), text);
    Settings settings(store, exe);
    settings.tick("MainLeft");
    EXPECT_NE(settings.read_failure().find("line 3"), std::string::npos) << settings.read_failure();
}

// --- INI text ---

TEST(IniText, HandWrittenTextReadsBackExactlyAsWritten) {
    TempDir dir;
    ConfigHome home(dir.path());
    PosixSettingsStore store;
    fs::create_directories(dir / "VQ-DAZ-ER");
    put(dir / "VQ-DAZ-ER/panel.ini",
        "; written by hand\n[General]\nCLI_NAME_TEXTBOX=a,b\nRUN_COMMAND_TEXTBOX = notify-send a, b ,c  \n"
        "[Other]\nCLI_NAME_TEXTBOX=elsewhere\n");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "panel", "CLI_NAME_TEXTBOX", ""), "a,b");
    EXPECT_EQ(store.get("VQ-DAZ-ER", "panel", "RUN_COMMAND_TEXTBOX", ""), "notify-send a, b ,c");
    // A save changes its own line and keeps every other byte.
    store.save("VQ-DAZ-ER", "panel", "MainLeft", "1");
    store.save("VQ-DAZ-ER", "panel", "CLI_NAME_TEXTBOX", "x,y");
    EXPECT_EQ(slurp(dir / "VQ-DAZ-ER/panel.ini"),
              "; written by hand\n[General]\nCLI_NAME_TEXTBOX=\"x,y\"\n"
              "RUN_COMMAND_TEXTBOX = notify-send a, b ,c  \nMainLeft=1\n[Other]\nCLI_NAME_TEXTBOX=elsewhere\n");
}

// Hand edits whose value runs past its line end: QSettings' reader would read
// on, taking every key below into the value.
TEST(IniText, AValueRunningPastItsLineIsReadToTheLineEndAndReported) {
    const struct {
        std::string text, edited;  // the file, and its hand-edited line
        int line;
        std::string run_command;   // RUN_COMMAND_TEXTBOX as read
    } cases[] = {
        {"[General]\nRUN_COMMAND_TEXTBOX=notify-send \"new block\nMainLeft=1500\nCLI_NAME_TEXTBOX=litecoin-cli\n",
         "RUN_COMMAND_TEXTBOX=notify-send \"new block", 2, "notify-send new block"},
        {"[General]\nMainLeft=1500\nCLI_NAME_TEXTBOX=litecoin-cli\nRUN_COMMAND_TEXTBOX=notify-send x\\",
         "RUN_COMMAND_TEXTBOX=notify-send x\\", 4, "notify-send x"},
        {"[General]\rMainLeft=1500\rRUN_COMMAND_TEXTBOX=\"a;b\rCLI_NAME_TEXTBOX=litecoin-cli\r",
         "RUN_COMMAND_TEXTBOX=\"a;b", 3, "a;b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SettingsHome h;
        put(h.file, c.text);
        PosixSettingsStore store;
        auto get = [&](const char* key) { return store.get("VQ-DAZ-ER", "LTC-panel", key, "<lost>"); };
        auto expect_keys = [&](const std::string& name) {
            EXPECT_EQ(get("MainLeft"), "1500");
            EXPECT_EQ(get("CLI_NAME_TEXTBOX"), name);
            EXPECT_EQ(get("RUN_COMMAND_TEXTBOX"), c.run_command);
            const auto notes = store.read_notes("VQ-DAZ-ER", "LTC-panel");
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_EQ(notes[0].find(h.file + ", line " + std::to_string(c.line) + ": "), 0u) << notes[0];
        };
        expect_keys("litecoin-cli");
        // Saves go on, twice, and the edited line stays as typed.
        store.save_all("VQ-DAZ-ER", "LTC-panel", {{"CLI_NAME_TEXTBOX", "x"}, {"MainTop", "7"}});
        store.save_all("VQ-DAZ-ER", "LTC-panel", {{"CLI_NAME_TEXTBOX", "y"}, {"MainWidth", "8"}});
        expect_keys("y");
        EXPECT_EQ(get("MainTop"), "7") << slurp(h.file);
        EXPECT_EQ(get("MainWidth"), "8") << slurp(h.file);
        EXPECT_NE(slurp(h.file).find(c.edited), std::string::npos) << slurp(h.file);
    }
}

TEST(IniText, AFileOfOnlyABomOrCommentsTakesSavesAndKeepsItsBom) {
    const std::string bom = "\xEF\xBB\xBF";
    for (const std::string& text : {bom, bom + "# one\r\n; two", bom + "\n\n"}) {
        SCOPED_TRACE(text);
        SettingsHome h;
        put(h.file, text);
        PosixSettingsStore store;
        store.save("VQ-DAZ-ER", "LTC-panel", "MainLeft", "1500");
        store.save("VQ-DAZ-ER", "LTC-panel", "MainTop", "1200");
        EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", "MainTop", "<lost>"), "1200");
        const std::string saved = slurp(h.file);
        EXPECT_EQ(saved.substr(0, 3), bom);
        EXPECT_NE(saved.find(text.substr(3)), std::string::npos) << saved;
        EXPECT_EQ(QSettings(QString::fromStdString(h.file), QSettings::IniFormat).value("MainLeft").toString(), "1500");
    }
}

// QSettings' typed forms read as QSettings reads them; bytes not UTF-8 written so it reads them back.
TEST(IniText, QSettingsTypedFormsReadAsQSettingsReadsThem) {
    TempDir dir;
    ConfigHome home(dir.path());
    PosixSettingsStore store;
    const std::string file = PosixSettingsStore::file_path("VQ-DAZ-ER", "typed");
    {
        QSettings qt(QString::fromStdString(file), QSettings::IniFormat);
        qt.setValue("BYTES", QByteArray("caf\xe9\0\x7f, \"x\"", 11));
        qt.setValue("AT", QString("@ByteArray(not bytes)"));
    }
    put(file, slurp(file) + "TEXT=\"@String(notify, \\x41)\"\nHAND=@ByteArray(\\xe9\xc3\xa9)\nNONE=@Invalid()\n");
    const std::string non_utf8 = "C:\\caf\xe9\xff\x80 \x01" "2";
    store.save("VQ-DAZ-ER", "typed", "OURS", non_utf8);
    // A leading U+FEFF, which QSettings' reader would take for a BOM and drop.
    store.save("VQ-DAZ-ER", "typed", "ZWNBSP", "\xEF\xBB\xBFx");
    QSettings qt(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_EQ(qt.value("ZWNBSP").toString().toStdString(), "\xEF\xBB\xBFx");
    for (const char* key : {"BYTES", "AT", "TEXT", "HAND", "NONE", "OURS", "ZWNBSP"}) {
        const QByteArray theirs = qt.value(key).toByteArray();
        EXPECT_EQ(store.get("VQ-DAZ-ER", "typed", key, "<absent>"), theirs.toStdString()) << key;
    }
    EXPECT_EQ(qt.value("OURS").toByteArray().toStdString(), non_utf8);
}

// Files written by earlier versions came from QSettings: each side reads what the other wrote.
TEST(IniText, QSettingsAndTheStoreReadEachOthersFiles) {
    TempDir dir;
    ConfigHome home(dir.path());
    PosixSettingsStore store;
    const std::vector<std::string> texts = {
        "", " blanks around ", "semi;colon # hash = equals", "\"quoted\" and 'single'", "\\\\server\\share\\",
        "@Variant(not really)", "@", "caf\xc3\xa9 \xe2\x82\xbf \xf0\x9f\x98\x80", "two\nlines\r\n", "tab\there\x01" "1f",
        "[General]", "C:\\Program Files\\x\\cli.exe", "call \"C:\\a b\\c.exe\" -conf=C:\\c.conf stop",
    };
    const std::string ours = PosixSettingsStore::file_path("VQ-DAZ-ER", "ours");
    const QString theirs = QString::fromStdString(PosixSettingsStore::file_path("VQ-DAZ-ER", "theirs"));
    {
        QSettings qt(theirs, QSettings::IniFormat);
        for (std::size_t i = 0; i < texts.size(); ++i)
            qt.setValue(QString::fromStdString("K" + std::to_string(i)), QString::fromStdString(texts[i]));
    }
    SettingsStore::Values values;
    for (std::size_t i = 0; i < texts.size(); ++i) values.emplace_back("K" + std::to_string(i), texts[i]);
    store.save_all("VQ-DAZ-ER", "ours", values);

    QSettings qt(QString::fromStdString(ours), QSettings::IniFormat);
    EXPECT_EQ(qt.status(), QSettings::NoError);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string key = "K" + std::to_string(i);
        EXPECT_EQ(store.get("VQ-DAZ-ER", "theirs", key, "<absent>"), texts[i]) << key;
        EXPECT_EQ(qt.value(QString::fromStdString(key)).toString().toStdString(), texts[i]) << key;
    }
    // The same lines QSettings writes, key for key (it sorts the keys; we keep the order given).
    auto sorted_lines = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(sorted_lines(slurp(ours)), sorted_lines(slurp(theirs.toStdString())));
}

// --- Two copies of the program under the same name ---

TEST(SharedStore, TwoProcessesSavingDifferentKeysAtOnceManyTimesLoseNothing) {
    TempDir dir;
    ConfigHome home(dir.path());
    const std::string go = dir / "go";
    const int rounds = 60;
    const std::vector<std::string> closing = {VQD_PROBE, "save-all", "LTC-panel", go, std::to_string(rounds),
                                              "MainLeft", "MainTop", "CLI_GBC_BAT_TICKBOX", "AUTOSTART_TICKBOX"};
    const std::vector<std::string> saving = {VQD_PROBE, "save-all", "LTC-panel", go, std::to_string(rounds),
                                             "SETTINGS-Left", "CLI_NAME_TEXTBOX", "RUN_COMMAND_TEXTBOX"};
    const pid_t a = spawn(closing), b = spawn(saving);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    put(go, "");
    EXPECT_EQ(wait_exit(a), 0);
    EXPECT_EQ(wait_exit(b), 0);
    PosixSettingsStore store;
    const std::string last = "-" + std::to_string(rounds - 1);
    for (const auto* keys : {&closing, &saving})
        for (std::size_t k = 5; k < keys->size(); ++k)
            EXPECT_EQ(store.get("VQ-DAZ-ER", "LTC-panel", (*keys)[k], "<lost>"), (*keys)[k] + last);
    EXPECT_EQ(names_in(dir / "VQ-DAZ-ER"), std::vector<std::string>{"LTC-panel.ini"});
}

}  // namespace
}  // namespace vqd::it
