// Whatever keys and values the program saves (values of any bytes), QSettings'
// own INI reader (that of earlier versions, and of any tool a user points at
// the file) reads back exactly what was saved, and so does ours. Saved in two
// writes, so the second rewrites lines in place as well as adding new ones.
//
// An input is a run of (key byte, length byte, that many value bytes).
#include "platform/posix/ini_text.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

// Keys as the program names them: plain words, '-' and '_'.
const char* const kKeys[] = {"MainLeft", "SETTINGS-Left", "CLI_NAME_TEXTBOX", "RUN_COMMAND_TEXTBOX", "A", "b-2",
                             "K_3", "General", "K4", "K5", "K6", "K7"};

[[noreturn]] void broken(const char* what, const std::string& key, const std::string& text) {
    std::fprintf(stderr, "broken: %s (key %s)\n--- file ---\n", what, key.c_str());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fprintf(stderr, "\n--- end ---\n");
    std::abort();
}

// A folder for the files QSettings reads: $VQD_FUZZ_SCRATCH (scripts/fuzz.sh
// makes one in memory and removes it), else one of this process's own.
const std::string& scratch() {
    static const std::string folder = [] {
        if (const char* given = std::getenv("VQD_FUZZ_SCRATCH"); given && *given) return std::string(given);
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/vqd-fuzz-XXXXXX");
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return folder;
}

std::string save(const std::string& text, const Values& values) {
    const auto saved = vqd::ini::replace_keys(text, vqd::ini::parse(text), values);
    if (!saved) broken("our own file is not INI text", "", text);
    return *saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Values values;
    for (std::size_t i = 0; i + 2 <= size;) {
        const std::string key = kKeys[data[i] % (sizeof kKeys / sizeof *kKeys)];
        const std::size_t n = std::min<std::size_t>(data[i + 1], size - i - 2);
        values.emplace_back(key, std::string(reinterpret_cast<const char*>(data + i + 2), n));
        i += 2 + n;
    }
    const std::size_t half = values.size() / 2;
    std::string text = save("", Values(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half)));
    text = save(text, Values(values.begin() + static_cast<std::ptrdiff_t>(half), values.end()));

    std::map<std::string, std::string> expected;
    for (const auto& [key, value] : values) expected[key] = value;

    const vqd::ini::Parsed ours = vqd::ini::parse(text);
    if (!ours.ok || !ours.notes.empty() || ours.keys != expected) broken("our reader differs", "", text);

    static unsigned long counter = 0;
    const std::string path = scratch() + "/" + std::to_string(counter++) + ".ini";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    } else {
        std::abort();
    }
    {
        QSettings qt(QString::fromStdString(path), QSettings::IniFormat);
        if (qt.status() != QSettings::NoError) broken("QSettings reports an error", "", text);
        if (static_cast<std::size_t>(qt.childKeys().size()) != expected.size())
            broken("QSettings sees other keys", "", text);
        for (const auto& [key, value] : expected) {
            const QByteArray theirs = qt.value(QString::fromStdString(key)).toByteArray();
            if (theirs.toStdString() != value) broken("QSettings reads another value", key, text);
        }
    }
    ::unlink(path.c_str());
    return 0;
}
