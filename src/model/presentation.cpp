#include "model/presentation.h"

#include "model/window.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>

namespace vqd {

std::string one_line(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF: one blank, at the LF
        out += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return out;
}

const std::string& shown_status(const Window& window) {
    if (window.status().empty() && window.modal_owner()) return window.modal_owner()->status();
    return window.status();
}

namespace {

// How far a caption may stand from its box (a little under a text line), and
// how far a caption above may start from the box's left edge.
constexpr int kBesideGap = 240;
constexpr int kAboveIndent = 240;

bool names_others(const Control& c) {
    return c.visible() && (c.kind() == ControlKind::Label || c.kind() == ControlKind::TickBox) && !c.caption().empty();
}

// The distance from a caption to the box it stands beside, or nothing.
std::optional<int> beside(const Rect& caption, const Rect& box) {
    const int middle = caption.top + caption.height / 2;
    const int right = caption.left + caption.width;
    // On the box's row, to its left, ending at or shortly before its left edge
    // (or reaching a little into it, as designed captions often do).
    if (middle >= box.top && middle < box.top + box.height && caption.left < box.left && right <= box.left + box.width / 2 &&
        box.left - right <= kBesideGap)
        return std::max(0, box.left - right);
    // Right above it, starting near its left edge.
    const int bottom = caption.top + caption.height;
    if (middle < box.top && bottom <= box.top + caption.height / 2 && box.top - bottom <= kBesideGap &&
        std::abs(caption.left - box.left) <= kAboveIndent)
        // A caption on the row wins over one above at the same distance.
        return std::max(0, box.top - bottom) + 1;
    return std::nullopt;
}

}  // namespace

std::string accessible_name(const Window& window, const Control& control) {
    switch (control.kind()) {
        case ControlKind::Label:
        case ControlKind::TickBox:
        case ControlKind::Button:
            return control.caption();
        case ControlKind::Timer:
        case ControlKind::Line:
            return {};
        case ControlKind::TextBox:
            break;
    }
    const Control* best = nullptr;
    int nearest = std::numeric_limits<int>::max();
    for (const auto& c : window.controls()) {
        if (c.get() == &control || !names_others(*c)) continue;
        if (const auto d = beside(c->rect(), control.rect()); d && *d < nearest) {
            nearest = *d;
            best = c.get();
        }
    }
    return best ? best->caption() : one_line(control.text());
}

}  // namespace vqd
