// The native renderer under a real display (Xvfb under Wine): every control
// where and as the model says, input going to the model through the scheduler,
// the modal settings window, the error strip, fonts, and the painting wait.
#include "frontend/win32/dpi.h"
#include "frontend/win32/fonts.h"
#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/window_view.h"
#include "model/presentation.h"
#include "model/virtual_clock.h"
#include "platform/win32/win32_clock.h"
#include "platform/failure.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_topmost.h"
#include "support.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <type_traits>

namespace vqd {
namespace {

using win32::narrow;
using win32ui::twips_to_px;

std::string text_of(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return narrow(buffer);
}

RECT client_rect_of(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

COLORREF pixel(HWND window, int x, int y) {
    UpdateWindow(GetAncestor(window, GA_ROOT));
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

// A point of the control's own background: right of any left-aligned text.
COLORREF background_of(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    return pixel(control, r.right - 3, r.bottom / 2);
}

COLORREF colorref(Colour c) { return static_cast<COLORREF>(c.bgr()); }

// Dispatch this thread's messages for `ms` milliseconds the way the program's
// own loop does, dialog keys included.
void pump_as_the_program(int ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) win32ui::dispatch_message(msg);
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// Tab or Shift+Tab as key events from the keyboard, into the system's input queue.
void press_tab(bool shift) {
    std::vector<INPUT> keys;
    const auto key = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        keys.push_back(in);
    };
    if (shift) key(VK_SHIFT, false);
    key(VK_TAB, false);
    key(VK_TAB, true);
    if (shift) key(VK_SHIFT, true);
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// The names of the controls Tab reaches, in order, starting at the first.
std::vector<std::string> reachable_in_focus_order(const Window& window) {
    std::vector<std::string> names;
    for (const Control* c : window.focus_order())
        if (c->enabled() && c->visible()) names.push_back(c->name());
    return names;
}

std::string focused_name(const win32ui::WindowView& view) {
    HWND focus = GetFocus();
    for (const auto& c : view.model().controls())
        if (focus && view.control_window(c->name()) == focus) return c->name();
    return "<none>";
}

// Walks the focus order with real Tab keys, forward from the first control
// round to it again, then back with Shift+Tab; returns the names visited.
std::pair<std::vector<std::string>, std::vector<std::string>> walk_with_tab(const win32ui::WindowView& view,
                                                                            size_t steps) {
    std::vector<std::string> forward{focused_name(view)};
    for (size_t i = 0; i < steps; ++i) {
        press_tab(false);
        pump_as_the_program(60);
        forward.push_back(focused_name(view));
    }
    std::vector<std::string> back{focused_name(view)};
    for (size_t i = 0; i < steps; ++i) {
        press_tab(true);
        pump_as_the_program(60);
        back.push_back(focused_name(view));
    }
    return {forward, back};
}

// Whether the window's width and height fit into its monitor's work area (at
// 144 DPI the settings window does not fit into 1024 x 768, and a window
// manager then places it by rules of its own).
bool fits_its_monitor(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info);
    return r.right - r.left <= info.rcWork.right - info.rcWork.left &&
           r.bottom - r.top <= info.rcWork.bottom - info.rcWork.top;
}

bool wholly_on_one_monitor(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return false;
    const RECT& m = info.rcMonitor;
    return r.left >= m.left && r.top >= m.top && r.right <= m.right && r.bottom <= m.bottom;
}

template <typename ClockType>
class ViewTest : public ::testing::Test {
protected:
    ClockType clock;
    Scheduler scheduler{clock};
    fake::Platform platform;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<win32ui::SchedulerDriver> driver;
    win32ui::FontCache fonts;
    std::unique_ptr<win32ui::WindowView> view;
    bool closed = false;

    void SetUp() override {
        if (!test::have_display()) GTEST_SKIP() << "no display: run under Xvfb";
    }

    TextFiles* files = nullptr;  // the fake's unless a test gives the real ones

    void open(const std::map<std::string, std::string>& stored = {}) {
        for (const auto& [key, value] : stored) platform.store.put("VQ-DAZ-ER", key, value);
        // The wait hands messages on as the program's own loop does.
        if constexpr (std::is_same_v<ClockType, Win32Clock>) clock.set_dispatcher(win32ui::dispatch_message);
        Services services = platform.services();
        main = std::make_unique<MainWindow>(
            scheduler, files ? Services{services.store, services.executable, services.runner, services.processes,
                                        *files, services.topmost, services.errors, services.conventions}
                             : services);
        main->start();
        driver = std::make_unique<win32ui::SchedulerDriver>(scheduler);
        view = std::make_unique<win32ui::WindowView>(*main, nullptr, *driver, fonts);
        view->on_closed = [this] { closed = true; };
        view->show();
        test::pump_for(50);
    }
    HWND control(std::string_view name) const { return view->control_window(name); }
    void click(std::string_view name) {
        SendMessageW(control(name), BM_CLICK, 0, 0);
        test::pump_for(30);
    }
};

using RenderTest = ViewTest<VirtualClock>;

TEST_F(RenderTest, EveryControlStandsWhereAndAsTheModelSays) {
    open();
    const UINT dpi = view->dpi();
    int checked = 0;
    for (const auto& c : main->controls()) {
        if (c->kind() == ControlKind::Timer || c->kind() == ControlKind::Line) continue;
        HWND h = control(c->name());
        ASSERT_NE(h, nullptr) << c->name();
        const RECT r = client_rect_of(h);
        const Rect t = c->rect();
        EXPECT_EQ(r.left, twips_to_px(t.left, dpi)) << c->name();
        EXPECT_EQ(r.top, twips_to_px(t.top, dpi)) << c->name();
        EXPECT_EQ(r.right - r.left, twips_to_px(t.width, dpi)) << c->name();
        EXPECT_EQ(r.bottom - r.top, twips_to_px(t.height, dpi)) << c->name();
        EXPECT_EQ(text_of(h), c->kind() == ControlKind::TextBox ? one_line(c->text()) : c->text()) << c->name();
        EXPECT_EQ(IsWindowEnabled(h) != FALSE, c->enabled()) << c->name();
        EXPECT_EQ((GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0, c->visible()) << c->name();
        if (c->kind() == ControlKind::TickBox) {
            EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0), c->value() == 1 ? BST_CHECKED : BST_UNCHECKED) << c->name();
        }
        if (c->kind() == ControlKind::TextBox) {
            EXPECT_EQ((GetWindowLongW(h, GWL_STYLE) & ES_READONLY) != 0, c->locked()) << c->name();
        }
        ++checked;
    }
    EXPECT_GT(checked, 30);
    EXPECT_EQ(text_of(view->hwnd()), "TARNWICK - VQ-DAZ-ER - VQ-DAZ-ER");
    RECT outer{};
    GetWindowRect(view->hwnd(), &outer);
    EXPECT_EQ(outer.left, twips_to_px(1000, dpi));
    EXPECT_EQ(outer.right - outer.left, twips_to_px(5280, dpi));
    EXPECT_EQ(outer.bottom - outer.top, twips_to_px(3630, dpi));
    EXPECT_EQ(main->handle(), reinterpret_cast<std::uintptr_t>(view->hwnd()));
    std::printf("[ figures  ] %u DPI, main window %ld x %ld pixels\n", dpi, outer.right - outer.left,
                outer.bottom - outer.top);
}

// What the system's accessibility layer (oleacc) makes of a control. (MinGW's
// IID_IAccessible does not survive a static link: __uuidof is the GUID.)
struct Accessible {
    HRESULT found = E_FAIL;
    std::string name, value;
    long role = 0;
};

Accessible accessible_of(HWND control) {
    Accessible out;
    IAccessible* a = nullptr;
    out.found = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&a));
    if (FAILED(out.found) || !a) return out;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (a->get_accName(self, &text) == S_OK && text) out.name = narrow(text);
    SysFreeString(text);
    text = nullptr;
    if (a->get_accValue(self, &text) == S_OK && text) out.value = narrow(text);
    SysFreeString(text);
    VARIANT role{};
    if (a->get_accRole(self, &role) == S_OK && role.vt == VT_I4) out.role = role.lVal;
    a->Release();
    return out;
}

// Every control a user can reach or read is named as the model says (the
// label beside a box, else its caption or value), and a display's value reads
// as it shows: a value from a log without its line end.
TEST_F(RenderTest, ScreenReadersFindTheModelsNamesAndTheDisplaysValues) {
    open();
    (*main)["CURRENT_BLOCK_TEXTBOX"].set_text("812345\r\n");
    (*main)["CONNECTIONS_TEXTBOX"].set_text("8\r\n9\n");
    EXPECT_EQ(text_of(control("CURRENT_BLOCK_TEXTBOX")), "812345");
    EXPECT_EQ(text_of(control("CONNECTIONS_TEXTBOX")), "8 9");
    EXPECT_EQ(accessible_of(control("CURRENT_BLOCK_TEXTBOX")).value, "812345");
    EXPECT_EQ(accessible_of(control("CURRENT_BLOCK_TEXTBOX")).name, "Current Block:");
    EXPECT_EQ(accessible_of(control("AUTORUN_TIMER_TEXTBOX")).name, (*main)["AUTORUN_TIMER_TEXTBOX"].text());

    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    int named = 0;
    for (const win32ui::WindowView* v : {view.get(), view->child()}) {
        RECT client{};
        GetClientRect(v->hwnd(), &client);
        for (const auto& c : v->model().controls()) {
            HWND h = v->control_window(c->name());
            if (!h || !IsWindowVisible(h) || client_rect_of(h).top >= client.bottom) continue;
            const Accessible a = accessible_of(h);
            ASSERT_EQ(a.found, S_OK) << c->name();
            EXPECT_EQ(a.name, accessible_name(v->model(), *c)) << c->name();
            EXPECT_FALSE(a.name.empty()) << c->name();
            ++named;
            std::printf("[ figures  ] %s: role %ld, name \"%s\"\n", c->name().c_str(), a.role, a.name.c_str());
        }
    }
    EXPECT_GE(named, 31);
}

// How far a control's caption overflows its room, in pixels (0: it fits),
// measured with the control's own font: labels and multi-line buttons wrap at
// words, so a word must fit the width and the lines the height.
int caption_overflow(HWND h, const Control& c) {
    RECT room{};
    GetClientRect(h, &room);
    if (c.kind() == ControlKind::TickBox) room.right -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
    if (c.kind() == ControlKind::Button) InflateRect(&room, -2 * GetSystemMetrics(SM_CXEDGE), -2 * GetSystemMetrics(SM_CYEDGE));
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    const std::wstring text = win32::widen(c.caption());
    int widest_word = 0;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(L' ', start), text.size());
        SIZE word{};
        GetTextExtentPoint32W(dc, text.data() + start, static_cast<int>(end - start), &word);
        widest_word = std::max(widest_word, static_cast<int>(word.cx));
        start = end + 1;
    }
    RECT need{0, 0, room.right - room.left, 0};
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return std::max(0, widest_word - static_cast<int>(room.right - room.left)) +
           std::max(0, static_cast<int>(need.bottom - (room.bottom - room.top)));
}

// At any DPI (CTest runs this at 144 and 192 too) every caption on screen fits its control.
TEST_F(RenderTest, EveryCaptionFitsItsControl) {
    open();
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    int measured = 0;
    for (const win32ui::WindowView* v : {view.get(), view->child()}) {
        RECT client{};
        GetClientRect(v->hwnd(), &client);
        for (const auto& c : v->model().controls()) {
            HWND h = v->control_window(c->name());
            if (!h || !IsWindowVisible(h) || client_rect_of(h).top >= client.bottom || c->kind() == ControlKind::TextBox)
                continue;
            EXPECT_EQ(caption_overflow(h, *c), 0) << c->name() << " at " << v->dpi() << " DPI: \"" << c->caption() << "\"";
            ++measured;
        }
    }
    // At 192 DPI the settings window is wider than a 1024 x 768 screen and
    // its last column lies outside it.
    EXPECT_GE(measured, 30);
    std::printf("[ figures  ] %d captions measured at %u DPI\n", measured, view->dpi());
}

TEST_F(RenderTest, ColoursAreTheModelsAndFollowItsChanges) {
    open();
    EXPECT_EQ(background_of(control("CURRENT_BLOCK_TEXTBOX")), colorref(colours::black));
    EXPECT_EQ(background_of(control("AUTORUN_TIMER_TEXTBOX")), colorref(colours::queued_pink));
    EXPECT_EQ(background_of(control("PROCESS_ACTIVE_LABEL")), colorref(colours::cyan));
    EXPECT_EQ(background_of(control("VQ_CLI_UI_TITLE")), colorref(colours::black));

    (*main)["PROCESS_ACTIVE_LABEL"].set_back_colour(colours::red);
    (*main)["CURRENT_BLOCK_TEXTBOX"].set_back_colour(colours::window_background);
    EXPECT_EQ(background_of(control("PROCESS_ACTIVE_LABEL")), colorref(colours::red));
    EXPECT_EQ(background_of(control("CURRENT_BLOCK_TEXTBOX")), GetSysColor(COLOR_WINDOW));

    // Green text on black: some pixel of the title is green.
    HWND title = control("VQ_CLI_UI_TITLE");
    RECT r{};
    GetClientRect(title, &r);
    bool green = false;
    for (int x = 0; x < r.right && !green; ++x)
        for (int y = 0; y < r.bottom && !green; ++y) green = pixel(title, x, y) == colorref(colours::green);
    EXPECT_TRUE(green);
}

TEST_F(RenderTest, TooltipsAreTheTables) {
    open();
    int with_tooltip = 0;
    for (const auto& c : main->controls()) {
        if (c->tooltip().empty()) continue;
        ++with_tooltip;
        wchar_t text[80] = {};
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = view->hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(control(c->name()));
        info.lpszText = text;
        SendMessageW(view->tooltip_window(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(narrow(text), c->tooltip()) << c->name();
    }
    EXPECT_EQ(with_tooltip, 4);
    // Plus the error strip's, which carries the whole text of a long failure.
    EXPECT_EQ(SendMessageW(view->tooltip_window(), TTM_GETTOOLCOUNT, 0, 0), with_tooltip + 1);
}

TEST_F(RenderTest, ClicksGoToTheModelWhichDecidesTheTick) {
    open();
    click("START_STOP_BUTTON");  // nothing selected: stays "START"
    EXPECT_EQ(text_of(control("START_STOP_BUTTON")), "START");

    click("CLI_GBC_BAT_TICKBOX");
    EXPECT_EQ((*main)["CLI_GBC_BAT_TICKBOX"].value(), 1);
    EXPECT_EQ(SendMessageW(control("CLI_GBC_BAT_TICKBOX"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(control("AUTOSTART_TICKBOX")));
    EXPECT_FALSE(IsWindowEnabled(control("CLI_STOP_BAT_TICKBOX")));

    // A handler that puts the tick back: the box never keeps the user's toggle.
    Control& on_top = (*main)["AlwaysOnTopTimer_TICKBOX"];
    on_top.on_click = [&] { on_top.set_value(1); };
    click("AlwaysOnTopTimer_TICKBOX");
    EXPECT_EQ(SendMessageW(control("AlwaysOnTopTimer_TICKBOX"), BM_GETCHECK, 0, 0), BST_CHECKED);

    click("START_STOP_BUTTON");
    EXPECT_EQ(text_of(control("START_STOP_BUTTON")), "STOP");
    EXPECT_FALSE(IsWindowEnabled(control("SETTINGS_BUTTON")));
}

TEST_F(RenderTest, TabWalksTheFocusOrderSkippingDisabledControls) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    EXPECT_EQ(GetFocus(), control("START_STOP_BUTTON"));
    std::vector<std::string> expected;
    std::vector<const Control*> ordered;
    for (const auto& c : main->controls())
        if (c->tab_index() >= 0) ordered.push_back(c.get());
    std::sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) { return a->tab_index() < b->tab_index(); });
    for (const Control* c : ordered)
        if (c->enabled() && c->visible()) expected.push_back(c->name());

    std::vector<std::string> walked;
    HWND at = control("START_STOP_BUTTON");
    for (size_t i = 0; i < expected.size(); ++i) {
        walked.push_back(main->controls()[static_cast<size_t>(GetDlgCtrlID(at) - win32ui::kFirstControlId)]->name());
        at = GetNextDlgTabItem(view->hwnd(), at, FALSE);
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(at, control("START_STOP_BUTTON"));  // and round again
    EXPECT_EQ(std::find(walked.begin(), walked.end(), "AUTOCLOSE_TIMER_TICKBOX"), walked.end());  // disabled
}

TEST_F(RenderTest, TabAndShiftTabWalkBothWindowsWithRealKeys) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    SetForegroundWindow(view->hwnd());
    pump_as_the_program(50);
    for (const win32ui::WindowView* v : {view.get(), static_cast<win32ui::WindowView*>(nullptr)}) {
        if (!v) {
            // The settings window: its three multi-line command displays must
            // let the focus go on.
            click("SETTINGS_BUTTON");
            ASSERT_NE(view->child(), nullptr);
            v = view->child();
            pump_as_the_program(50);
        }
        const std::vector<std::string> order = reachable_in_focus_order(v->model());
        ASSERT_GT(order.size(), 3u);
        ASSERT_EQ(focused_name(*v), order.front());
        const auto [forward, back] = walk_with_tab(*v, order.size());
        std::vector<std::string> round = order;
        round.push_back(order.front());
        EXPECT_EQ(forward, round) << v->model().name() << ": Tab";
        std::vector<std::string> reversed(round.rbegin(), round.rend());
        EXPECT_EQ(back, reversed) << v->model().name() << ": Shift+Tab";
    }
}

TEST_F(RenderTest, AWindowStoredOffEveryScreenOpensWhollyOnTheNearestOne) {
    // Far beyond the right-hand bottom corner, and far to the left.
    open({{"MainLeft", "400000"}, {"MainTop", "300000"}, {"SETTINGS-Left", "-400000"}, {"SETTINGS-Top", "0"}});
    RECT r{};
    GetWindowRect(view->hwnd(), &r);
    EXPECT_TRUE(wholly_on_one_monitor(view->hwnd())) << r.left << "," << r.top;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(view->hwnd(), MONITOR_DEFAULTTONEAREST), &info);
    EXPECT_EQ(r.right, info.rcWork.right);  // as near to where it was as the monitor allows
    EXPECT_EQ(r.bottom, info.rcWork.bottom);
    // Only the shown position is corrected; the model and the store keep the stored one.
    EXPECT_FLOAT_EQ(main->left(), 400000);
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainLeft"), "400000");
    EXPECT_TRUE(platform.store.writes.empty());

    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    HWND settings = view->child()->hwnd();
    RECT s{};
    GetWindowRect(settings, &s);
    EXPECT_NE(MonitorFromWindow(settings, MONITOR_DEFAULTTONULL), nullptr) << s.left << "," << s.top;
    // At 144 DPI the settings window is larger than the 1024x768 screen; the
    // window manager then moves it itself, and a move is a move.
    const bool settings_fits = fits_its_monitor(settings);
    if (settings_fits) {
        EXPECT_TRUE(wholly_on_one_monitor(settings)) << s.left << "," << s.top;
        EXPECT_EQ(s.left, info.rcWork.left);
        EXPECT_EQ(s.top, 0);  // on screen in this direction: kept
    }
    EXPECT_TRUE(platform.store.writes.empty());

    PostMessageW(settings, WM_CLOSE, 0, 0);
    test::pump_for(50);
    PostMessageW(view->hwnd(), WM_CLOSE, 0, 0);
    test::pump_for(50);
    ASSERT_TRUE(closed);
    // Neither window was moved: both close with the positions they were given.
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainLeft"), "400000");
    if (settings_fits) EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "SETTINGS-Left"), "-400000");
}

TEST_F(RenderTest, APositionOnAScreenIsKeptExactly) {
    open({{"MainLeft", "4545"}, {"MainTop", "1515"}, {"SETTINGS-Left", "1500"}, {"SETTINGS-Top", "0"}});
    RECT r{};
    GetWindowRect(view->hwnd(), &r);
    EXPECT_EQ(r.left, twips_to_px(4545, view->dpi()));
    EXPECT_EQ(r.top, twips_to_px(1515, view->dpi()));
    EXPECT_FLOAT_EQ(main->left(), 4545);
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    if (!fits_its_monitor(view->child()->hwnd())) return;
    GetWindowRect(view->child()->hwnd(), &r);
    EXPECT_EQ(r.left, twips_to_px(1500, view->dpi()));
    EXPECT_EQ(r.top, 0);
    EXPECT_FLOAT_EQ(main->settings_window()->left(), 1500);
}

TEST_F(RenderTest, SettingsWindowIsModalOwnedAndGoesWhenClosed) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    HWND settings = view->child()->hwnd();
    EXPECT_EQ(GetWindow(settings, GW_OWNER), view->hwnd());
    EXPECT_FALSE(IsWindowEnabled(view->hwnd()));
    EXPECT_EQ(text_of(view->child()->control_window("CLOSE_BUTTON")), "Cancel");
    EXPECT_EQ(GetFocus(), view->child()->control_window("CLOSE_BUTTON"));
    EXPECT_EQ(main->modal_child(), main->settings_window());

    // Typing reaches the model as an edit; the model's own changes are not echoed back as input.
    HWND folder = view->child()->control_window("VQ_CLI_UI_LOCATION_TEXTBOX");
    SendMessageW(folder, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"C:\\VQ"));
    test::pump_for(30);
    EXPECT_EQ((*main->settings_window())["VQ_CLI_UI_LOCATION_TEXTBOX"].text(), "C:\\VQ");
    (*main->settings_window())["VQ_CLI_UI_LOCATION_TEXTBOX"].set_text("D:\\other");
    EXPECT_EQ(text_of(folder), "D:\\other");
    EXPECT_NE(scheduler.next_due(), std::optional<std::int64_t>(clock.now_ms()));  // no input pending

    PostMessageW(settings, WM_CLOSE, 0, 0);  // the window system's close command
    test::pump_for(50);
    EXPECT_FALSE(IsWindow(settings));
    EXPECT_TRUE(IsWindowEnabled(view->hwnd()));
    EXPECT_EQ(main->settings_window(), nullptr);
    EXPECT_EQ(platform.store.writes.back(), "SETTINGS-Top");  // its unload ran

    click("SETTINGS_BUTTON");  // a fresh one each time
    ASSERT_NE(view->child(), nullptr);
    SendMessageW(view->child()->control_window("CLOSE_BUTTON"), BM_CLICK, 0, 0);
    test::pump_for(50);
    EXPECT_TRUE(IsWindowEnabled(view->hwnd()));
}

int window_height(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

TEST_F(RenderTest, FailuresShowInAStripUnderTheControlsAndGo) {
    open();
    const int before = window_height(view->hwnd());
    EXPECT_FALSE(IsWindowVisible(view->status_window()));

    main->report_failure("GETBLOCKCOUNT_COMMAND_TIMER_Timer", "read file \"C:\\x.log\": File not found (2)");
    HWND strip = view->status_window();
    ASSERT_TRUE(IsWindowVisible(strip));
    EXPECT_NE(text_of(strip).find("File not found"), std::string::npos);
    const int band = window_height(view->hwnd()) - before;  // the window grew by the strip's band
    RECT client{};
    GetClientRect(view->hwnd(), &client);
    const RECT s = client_rect_of(strip);
    EXPECT_GE(s.top, client.bottom - band);
    EXPECT_LE(s.bottom, client.bottom);
    const RECT band_rect{0, client.bottom - band, client.right, client.bottom};
    for (const auto& c : main->controls()) {
        HWND h = control(c->name());
        if (!h || !IsWindowVisible(h)) continue;
        const RECT r = client_rect_of(h);
        RECT overlap{};
        EXPECT_FALSE(IntersectRect(&overlap, &r, &band_rect)) << c->name() << " is covered";
    }
    EXPECT_EQ(background_of(strip), colorref(Colour::rgb(0x8B0000)));
    EXPECT_EQ(FindWindowW(L"#32770", nullptr), nullptr);  // no message box

    // A long failure takes more lines, never more than four.
    std::string long_text = "write file \"C:\\" + std::string(40, 'x') + "\\DAZ-ER-GBC.BAT\": Path not found (3)";
    main->report_failure("SAVE_BATS_BUTTON_Click", long_text);
    const int long_band = window_height(view->hwnd()) - before;
    EXPECT_GT(long_band, band);
    main->report_failure("SAVE_BATS_BUTTON_Click", long_text + std::string(2000, 'y'));
    const int longest_band = window_height(view->hwnd()) - before;
    EXPECT_LT(longest_band, 6 * band);

    main->clear_failure("SAVE_BATS_BUTTON_Click");
    main->clear_failure("GETBLOCKCOUNT_COMMAND_TIMER_Timer");
    EXPECT_FALSE(IsWindowVisible(strip));
    EXPECT_EQ(window_height(view->hwnd()), before);
}

TEST_F(RenderTest, TheSettingsWindowShowsTheFailuresOfTheDisabledMainWindow) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    HWND child_strip = view->child()->status_window();
    EXPECT_FALSE(IsWindowVisible(child_strip));
    // A batch file that cannot be written: the working folder does not exist.
    SettingsWindow& settings = *main->settings_window();
    platform.files.unwritable.insert("Q:\\missing\\DAZ-ER-STOP.BAT");
    settings.post_edit(settings["VQ_CLI_UI_LOCATION_TEXTBOX"], "Q:\\missing");
    scheduler.advance(1100);  // the composers tick
    SendMessageW(view->child()->control_window("SAVE_BATS_BUTTON"), BM_CLICK, 0, 0);
    test::pump_for(30);
    ASSERT_FALSE(main->status().empty());
    EXPECT_TRUE(IsWindowVisible(child_strip));
    EXPECT_EQ(text_of(child_strip), main->status());
}

TEST_F(RenderTest, ABatchFileThatCannotBeWrittenShowsInTheOpenSettingsWindow) {
    Win32TextFiles real_files;
    files = &real_files;
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    SettingsWindow& settings = *main->settings_window();
    const std::string missing = test::native_path("/nonexistent-vqd-folder");
    settings.post_edit(settings["VQ_CLI_UI_LOCATION_TEXTBOX"], missing);
    scheduler.advance(1100);  // the composers tick
    SendMessageW(view->child()->control_window("SAVE_BATS_BUTTON"), BM_CLICK, 0, 0);
    test::pump_for(30);
    HWND strip = view->child()->status_window();
    ASSERT_TRUE(IsWindowVisible(strip));
    EXPECT_NE(text_of(strip).find(missing + "\\DAZ-ER-STOP.BAT"), std::string::npos) << text_of(strip);
    EXPECT_EQ(text_of(strip), main->status());
    EXPECT_NE(main->settings_window(), nullptr);  // the settings window stays open, its fields usable
}

TEST_F(RenderTest, FontsAreTheTablesOrTheNearestInstalledFamily) {
    open();
    struct Case {
        const char* control;
        double points;
        int weight;
    };
    for (const Case& k : {Case{"CURRENT_BLOCK_TEXTBOX", 9.75, 900}, Case{"VQ_CLI_UI_TITLE", 12, 700},
                          Case{"PROCESS_ACTIVE_LABEL", 8.25, 700}, Case{"START_STOP_BUTTON", 8.25, 400}}) {
        HWND h = control(k.control);
        auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << k.control;
        LOGFONTW lf{};
        GetObjectW(font, sizeof lf, &lf);
        EXPECT_EQ(lf.lfHeight, -static_cast<LONG>(std::lround(k.points * view->dpi() / 72.0))) << k.control;
        EXPECT_EQ(lf.lfWeight, k.weight) << k.control;
        const auto& table_font = (*main)[k.control].font() ? *(*main)[k.control].font() : win32ui::kDefaultFont;
        const auto candidates = win32ui::FontCache::candidates(table_font.family);
        EXPECT_NE(std::find(candidates.begin(), candidates.end(), std::wstring(lf.lfFaceName)), candidates.end())
            << k.control << ": " << narrow(lf.lfFaceName);

        // Real glyphs: a narrow and a wide letter differ in width.
        HDC dc = GetDC(h);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE narrow_run{}, wide_run{};
        GetTextExtentPoint32W(dc, L"iiii", 4, &narrow_run);
        GetTextExtentPoint32W(dc, L"WWWW", 4, &wide_run);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        EXPECT_LT(narrow_run.cx * 2, wide_run.cx) << k.control;
        std::printf("[ figures  ] %s: \"%s\" drawn as \"%s\"\n", k.control, std::string(table_font.family).c_str(),
                    narrow(face).c_str());
    }
}

TEST_F(RenderTest, AMoveByTheUserIsStoredWhenTheWindowCloses) {
    open();
    scheduler.advance(MoveJudge::kPlacementMs + 100);  // placed: what moves it now is the user
    RECT r{};
    GetWindowRect(view->hwnd(), &r);
    SetWindowPos(view->hwnd(), nullptr, r.left + 60, r.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const UINT dpi = view->dpi();
    EXPECT_FLOAT_EQ(main->left(), win32ui::px_to_twips(r.left + 60, dpi));
    EXPECT_FLOAT_EQ(main->top(), win32ui::px_to_twips(r.top + 30, dpi));

    HWND window = view->hwnd();
    PostMessageW(window, WM_CLOSE, 0, 0);
    test::pump_for(50);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(main->closed());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainLeft"), format_coordinate(main->left()));
}

TEST_F(RenderTest, LoggingOffClosesAndStoresLikeTheUsersClose) {
    open({{"CLI_GCC_BAT_TICKBOX", "1"}});
    // A window manager placing the window may move it and put it back (Wine
    // reports both): no move of the user's, so the stored 1000 twips stay
    // (not the 1005 its 67 pixels come back as).
    RECT r{};
    GetWindowRect(view->hwnd(), &r);
    for (int step : {1, 0})
        SetWindowPos(view->hwnd(), nullptr, r.left + step, r.top + step, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(view->hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "CLI_GCC_BAT_TICKBOX"), "1");
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainTop"), "1000");
}

// --- On the real clock ---

using RealClockTest = ViewTest<Win32Clock>;

TEST_F(RealClockTest, AWaitKeepsPaintingWhileAClickWaitsInTheQueue) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    HWND start = control("START_STOP_BUTTON");
    HWND box = control("CURRENT_BLOCK_TEXTBOX");
    std::string caption_in_wait;
    COLORREF painted_in_wait = 0;
    scheduler.run_handler(*main, nullptr, "test", [&] {
        // A click arrives while the handler holds the thread...
        PostMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(start, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        (*main)["CURRENT_BLOCK_TEXTBOX"].set_back_colour(colours::yellow);
        scheduler.wait(400);
        // ...the box was repainted during the wait, the click not yet delivered.
        HDC dc = GetDC(box);
        RECT r{};
        GetClientRect(box, &r);
        painted_in_wait = GetPixel(dc, r.right - 3, r.bottom / 2);
        ReleaseDC(box, dc);
        caption_in_wait = (*main)["START_STOP_BUTTON"].caption();
    });
    EXPECT_EQ(painted_in_wait, colorref(colours::yellow));
    EXPECT_EQ(caption_in_wait, "START");
    test::pump_for(100);
    EXPECT_EQ((*main)["START_STOP_BUTTON"].caption(), "STOP");
    EXPECT_EQ(text_of(start), "STOP");
}

// A click posted into the thread's queue from outside, `delay_ms` from now, as
// the window system queues a click the user makes while the thread is busy.
std::thread click_later(HWND control, int delay_ms) {
    return std::thread([control, delay_ms] {
        Sleep(static_cast<DWORD>(delay_ms));
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    });
}

TEST_F(RealClockTest, StopClickedDuringAPollRunsWhenThatPollEndsBeforeTheHeldTicks) {
    const std::map<std::string, std::string> stored{
        {"CLI_GBC_BAT_TICKBOX", "1"},
        {"CLI_GCC_BAT_TICKBOX", "1"},
        {"CLI_GBC_FULL_BAT_LOCATION_TEXTBOX", "C:\\vqd\\DAZ-ER-GBC.BAT"},
        {"CLI_GCC_FULL_BAT_LOCATION_TEXTBOX", "C:\\vqd\\DAZ-ER-GCC.BAT"},
        {"CLI_GBC_FULL_LOG_LOCATION_TEXTBOX", "C:\\vqd\\DAZ-ER-GBC.LOG"},
        {"CLI_GCC_FULL_LOG_LOCATION_TEXTBOX", "C:\\vqd\\DAZ-ER-GCC.LOG"},
    };
    platform.files.content["C:\\vqd\\DAZ-ER-GBC.LOG"] = "7\r\n";
    platform.files.content["C:\\vqd\\DAZ-ER-GCC.LOG"] = "3\r\n";
    open(stored);
    std::vector<std::string> events;
    ULONGLONG block_poll_done = 0;
    ULONGLONG stop_ran = 0;
    main->observe([&](const Change& change) {
        if (!change.control) return;
        const std::string& name = change.control->name();
        if (name == "START_STOP_BUTTON" && change.prop == Prop::Caption) {
            events.push_back("caption " + change.control->caption());
            if (change.control->caption() == "START") stop_ran = GetTickCount64();
        } else if (change.prop == Prop::Enabled && !change.control->enabled()) {
            if (name == "GETBLOCKCOUNT_COMMAND_TIMER") {
                events.push_back("block-count poll done");
                block_poll_done = GetTickCount64();
            }
            if (name == "GETCONNECTIONCOUNT_COMMAND_TIMER") events.push_back("connection-count poll done");
        }
    });

    HWND start = control("START_STOP_BUTTON");
    const ULONGLONG started = GetTickCount64();
    click("START_STOP_BUTTON");
    // STOP 13.5 s after START: inside the block-count poll (12 s to 19 s).
    std::thread user = click_later(start, 13500 - static_cast<int>(GetTickCount64() - started));
    const bool polling = test::pump_until(
        [&] { return events.size() >= 5 && (*main)["GET_LOOP_TIMER"].enabled(); }, 35000);
    user.join();
    ASSERT_TRUE(polling) << events.size() << " events";
    EXPECT_EQ(events, (std::vector<std::string>{"caption STOP", "block-count poll done", "caption START",
                                                 "connection-count poll done", "caption STOP"}));
    EXPECT_EQ(text_of(start), "STOP");
    EXPECT_EQ((*main)["CONNECTIONS_TEXTBOX"].text(), "3\r\n");
    EXPECT_LT(stop_ran - block_poll_done, 100u);
    std::printf("[ figures  ] STOP clicked 13.5 s after START ran %llu ms after START, %llu ms after the "
                "block-count poll ended\n",
                stop_ran - started, stop_ran - block_poll_done);
}

TEST_F(RealClockTest, ACloseRequestedDuringAWaitClosesRightAfterTheHandler) {
    open();
    // A handler that holds the thread for 1.5 s, started by the driver as
    // every handler of the program is; the watcher's tick falls due meanwhile.
    scheduler.post_input(*main, nullptr, "Click", [&] { scheduler.wait(1500); });
    const size_t queries_before = platform.processes.queries.size();
    std::thread closer([window = view->hwnd()] {
        Sleep(300);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    const ULONGLONG t0 = GetTickCount64();
    driver->drive();
    const ULONGLONG returned = GetTickCount64() - t0;
    closer.join();
    EXPECT_GE(returned, 1490u);
    EXPECT_TRUE(main->closed());
    EXPECT_TRUE(closed);
    EXPECT_EQ(platform.processes.queries.size(), queries_before);  // no watcher tick before the close
    EXPECT_EQ(platform.store.value("VQ-DAZ-ER", "MainLeft"), "1000");
    std::printf("[ figures  ] a 1500 ms wait with a close request in it: the handler and the close took %llu ms\n",
                returned);
}

TEST_F(RealClockTest, TimersTickOnRealTimeAlsoWhileTheSettingsWindowIsOpen) {
    open({{"CLI_GBC_BAT_TICKBOX", "1"}});
    click("SETTINGS_BUTTON");
    ASSERT_NE(view->child(), nullptr);
    EXPECT_EQ(text_of(control("PROCESS_ACTIVE_LABEL")), "!!! NOT MONITORING !!!");
    const ULONGLONG t0 = GetTickCount64();
    ASSERT_TRUE(test::pump_until([&] { return text_of(control("PROCESS_ACTIVE_LABEL")) == "!!! CLI NOT RUNNING !!!"; },
                                 3000));
    const ULONGLONG first_tick = GetTickCount64() - t0;
    EXPECT_FALSE(IsWindowEnabled(view->hwnd()));
    EXPECT_EQ(background_of(control("PROCESS_ACTIVE_LABEL")), colorref(colours::green));

    // The settings window's composers tick too: the displays fill within a second.
    HWND display = view->child()->control_window("VQCLI_GBC_COMMAND_TEXTBOX");
    EXPECT_TRUE(test::pump_until([&] { return text_of(display).find("getblockcount") != std::string::npos; }, 2500));
    const size_t queries_before = platform.processes.queries.size();
    test::pump_for(2100);
    const size_t ticks = platform.processes.queries.size() - queries_before;
    EXPECT_GE(ticks, 1u);
    EXPECT_LE(ticks, 3u);
    std::printf("[ figures  ] first watcher tick %llu ms after opening the settings window; %zu ticks in 2.1 s\n",
                first_tick, ticks);
}

TEST(TopmostOnTheDesktop, TheAlwaysOnTopTickLiftsTheMainWindowAboveTheForegroundOne) {
    if (!test::have_display()) GTEST_SKIP() << "no display: run under Xvfb";
    Win32Clock clock;
    Scheduler scheduler{clock};
    fake::Platform platform;
    Win32Topmost topmost;
    MainWindow main(scheduler, Services{platform.store, platform.executable, platform.runner, platform.processes,
                                        platform.files, topmost, platform.errors, kWindowsFiles});
    main.start();
    win32ui::SchedulerDriver driver(scheduler);
    win32ui::FontCache fonts;
    win32ui::WindowView view(main, nullptr, driver, fonts);
    view.show();

    // Another window, topmost itself, takes the foreground.
    HWND other = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"other", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 300,
                                 300, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    const auto topmost_flag = [](HWND w) { return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EXPECT_FALSE(topmost_flag(view.hwnd()));
    ASSERT_EQ(GetForegroundWindow(), other);

    EXPECT_TRUE(test::pump_until([&] { return topmost_flag(view.hwnd()) && !topmost_flag(other); }, 2500))
        << "main topmost " << topmost_flag(view.hwnd()) << ", other topmost " << topmost_flag(other)
        << ", foreground is main " << (GetForegroundWindow() == view.hwnd());
    EXPECT_EQ(GetForegroundWindow(), other);  // lifted, not activated: the user keeps the focus
    DestroyWindow(other);
}

TEST(TopmostOnTheDesktop, TheAlwaysOnTopTickNeverCoversTheOpenSettingsWindow) {
    if (!test::have_display()) GTEST_SKIP() << "no display: run under Xvfb";
    Win32Clock clock;
    Scheduler scheduler{clock};
    fake::Platform platform;
    Win32Topmost topmost;
    MainWindow main(scheduler, Services{platform.store, platform.executable, platform.runner, platform.processes,
                                        platform.files, topmost, platform.errors, kWindowsFiles});
    main.start();
    ASSERT_TRUE(main["AlwaysOnTopTimer"].enabled());
    win32ui::SchedulerDriver driver(scheduler);
    win32ui::FontCache fonts;
    win32ui::WindowView view(main, nullptr, driver, fonts);
    view.show();
    SendMessageW(view.control_window("SETTINGS_BUTTON"), BM_CLICK, 0, 0);
    test::pump_for(50);
    ASSERT_NE(view.child(), nullptr);
    HWND settings = view.child()->hwnd();

    // Both open at the same stored place; after a few always-on-top ticks,
    // each of which lifts the main window, the settings window is still the
    // one seen (and clicked) where they overlap.
    const auto topmost_flag = [](HWND w) { return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    ASSERT_TRUE(test::pump_until([&] { return topmost_flag(view.hwnd()); }, 2500)) << "no always-on-top tick";
    test::pump_for(1200);
    RECT m{}, s{}, both{};
    GetWindowRect(view.hwnd(), &m);
    GetWindowRect(settings, &s);
    ASSERT_TRUE(IntersectRect(&both, &m, &s));
    for (const char* name : {"VQ_CLI_UI_LOCATION_TEXTBOX", "CLOSE_BUTTON"}) {
        RECT c{};
        GetWindowRect(view.child()->control_window(name), &c);
        const POINT centre{(c.left + c.right) / 2, (c.top + c.bottom) / 2};
        if (!PtInRect(&m, centre)) continue;
        EXPECT_EQ(GetAncestor(WindowFromPoint(centre), GA_ROOT), settings) << name << " is covered";
    }
    const POINT middle{(both.left + both.right) / 2, (both.top + both.bottom) / 2};
    EXPECT_EQ(GetAncestor(WindowFromPoint(middle), GA_ROOT), settings);
    EXPECT_EQ(GetForegroundWindow(), settings);
}

}  // namespace
}  // namespace vqd
