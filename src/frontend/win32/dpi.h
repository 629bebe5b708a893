// Twips and pixels on monitors of any DPI.
//
// The program declares itself per-monitor DPI aware (its manifest, and at run
// time for systems that ignore the manifest's newer entries), so it draws at
// each monitor's own density instead of being stretched by the system. Newer
// DPI functions are looked up at run time: on a system without them every
// monitor has the system DPI.
#pragma once

#include <windows.h>

namespace vqd::win32ui {

void declare_per_monitor_dpi_awareness();

UINT dpi_of_window(HWND window);
UINT dpi_at_point(POINT screen_point);

// Twips are 1/1440 inch: 15 to a pixel at 96 DPI.
inline int twips_to_px(double twips, UINT dpi) {
    const double px = twips * dpi / 1440.0;
    return static_cast<int>(px < 0 ? px - 0.5 : px + 0.5);
}
inline float px_to_twips(int px, UINT dpi) { return static_cast<float>(px * 1440.0 / dpi); }

// The non-client frame around a client area, in pixels at `dpi`.
RECT frame_for(DWORD style, DWORD ex_style, UINT dpi);

}  // namespace vqd::win32ui
