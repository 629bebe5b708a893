#include "frontend/qt/fonts.h"

#include <QFontDatabase>
#include <QHash>

namespace vqd::qt {

QStringList family_candidates(std::string_view designed) {
    const QString name = QString::fromUtf8(designed.data(), static_cast<qsizetype>(designed.size()));
    // Narrow grotesques before DejaVu Sans, which is a good deal wider than the
    // fonts the layout was measured with and would clip captions.
    if (name == QLatin1String("MS Sans Serif"))
        return {name, "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Nimbus Sans", "Nimbus Sans L",
                "FreeSans", "DejaVu Sans"};
    if (name == QLatin1String("Arial"))
        return {name, "Liberation Sans", "Arimo", "Nimbus Sans", "Nimbus Sans L", "FreeSans", "DejaVu Sans"};
    if (name == QLatin1String("Arial Black"))
        return {name, "Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans"};
    return {name, "DejaVu Sans"};
}

QString nearest_family(std::string_view designed) {
    static QHash<QString, QString> cache;
    const QString key = QString::fromUtf8(designed.data(), static_cast<qsizetype>(designed.size()));
    if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    const QStringList installed = QFontDatabase::families();
    QString found;
    for (const QString& candidate : family_candidates(designed)) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            found = candidate;
            break;
        }
    }
    cache.insert(key, found);
    return found;
}

QFont control_font(const std::optional<Font>& designed) {
    const Font f = designed.value_or(kDefaultControlFont);
    QFont font;
    const QString family = nearest_family(f.family);
    // With none of the candidates installed, fontconfig's own choice is the best left.
    if (!family.isEmpty()) font.setFamily(family);
    font.setPointSizeF(f.points);
    font.setWeight(static_cast<QFont::Weight>(f.weight));
    return font;
}

}  // namespace vqd::qt
