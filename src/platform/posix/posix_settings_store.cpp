#include "platform/posix/posix_settings_store.h"

#include "platform/failure.h"

#include <QDir>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <cstdlib>

namespace vqd {

namespace {

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

std::string status_text(QSettings::Status status) {
    switch (status) {
    case QSettings::NoError: return "no error";
    case QSettings::AccessError: return "the settings file cannot be read or written";
    case QSettings::FormatError: return "the settings file is not INI text";
    }
    return "unknown settings error";
}

}  // namespace

std::string posix_config_folder(const std::string& application) {
    // An XDG variable that is empty or relative is to be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = xdg && xdg[0] == '/' ? std::string(xdg) : utf8(QDir::homePath()) + "/.config";
    return base + "/" + application;
}

std::string PosixSettingsStore::file_path(const std::string& application, const std::string& section) {
    return posix_config_folder(application) + "/" + section + ".ini";
}

// QSettings' own per-scope path is fixed when it is first used in a process;
// naming the file ourselves keeps the location following XDG_CONFIG_HOME.
// Keys are the system's control names: plain words without '/' or '\', so
// QSettings sees them as top-level keys of its "General" section.

std::string PosixSettingsStore::get(const std::string& application, const std::string& section,
                                    const std::string& key, const std::string& fallback) {
    QSettings settings(q(file_path(application, section)), QSettings::IniFormat);
    // A file with lines that are not INI text still gives the keys it holds;
    // the others take their defaults, as any unreadable value does.
    if (settings.status() == QSettings::AccessError)
        throw PlatformError("get setting", key, status_text(settings.status()));
    const QVariant value = settings.value(q(key));
    if (!value.isValid()) return fallback;
    // A value written by hand with unquoted commas comes back as a list; the
    // store holds texts, so give it back as written.
    if (value.typeId() == QMetaType::QStringList) return utf8(value.toStringList().join(QStringLiteral(", ")));
    return utf8(value.toString());
}

void PosixSettingsStore::save(const std::string& application, const std::string& section, const std::string& key,
                              const std::string& value) {
    const std::string path = file_path(application, section);
    if (!QDir().mkpath(q(posix_config_folder(application))))
        throw PlatformError("save setting", key, "cannot create the folder of " + path);
    QSettings settings(q(path), QSettings::IniFormat);
    settings.setValue(q(key), q(value));
    settings.sync();
    // A format error still writes the file (the lines that were not INI text
    // are dropped, every key is kept), so only a refused access is a failure.
    if (settings.status() == QSettings::AccessError)
        throw PlatformError("save setting", key, status_text(settings.status()) + " (" + path + ")");
}

}  // namespace vqd
