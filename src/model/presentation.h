// What a front end shows of a window model beyond each control's own
// properties, decided here once so that every toolkit shows the same: the
// text of a one-line box, the status strip's text, and the name a screen
// reader announces for a control.
#pragma once

#include "model/control.h"

#include <string>
#include <string_view>

namespace vqd {

class Window;

// A one-line box's text. A value read whole from a log brings its line end
// along: line ends at the end are dropped, and each one inside (CR LF, LF or
// a lone CR) shows as one blank, so nothing of the value is hidden.
std::string one_line(std::string_view text);

// The failures the window's status strip shows: its own, or, for a modal child
// with none of its own, its owner's (the owner lies disabled behind it, and
// the child's own handlers report through the owner's error path).
const std::string& shown_status(const Window& window);

// The name a screen reader announces for a control. Labels, buttons and tick
// boxes: their caption. A text box: the caption beside it, that is the
// nearest visible label or tick box on its row ending at (or just over) its
// left edge, else one right above it starting near its left edge; a box with
// none is named by what it shows (the countdown by its value). Timers and
// lines: none.
std::string accessible_name(const Window& window, const Control& control);

}  // namespace vqd
