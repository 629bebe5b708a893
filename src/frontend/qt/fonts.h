// Fonts for the window models on whatever families the machine has.
//
// The windows were designed for "MS Sans Serif", "Arial" and "Arial Black".
// Where those are missing we take the nearest installed family from a fixed
// list of look-alikes (metric-compatible ones first), so the captions keep
// roughly the width they were laid out for.
#pragma once

#include "model/control.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

namespace vqd::qt {

// The font of controls the tables give no font.
inline constexpr Font kDefaultControlFont{"MS Sans Serif", 8.25, 400};

// Candidates for a designed family, best first; the designed name leads.
QStringList family_candidates(std::string_view designed);
// The first candidate that is installed, or an empty string when none is.
QString nearest_family(std::string_view designed);
// The font a control is drawn with: nearest family, size and weight as designed.
QFont control_font(const std::optional<Font>& designed);

}  // namespace vqd::qt
