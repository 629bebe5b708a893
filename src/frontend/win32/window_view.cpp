#include "frontend/win32/window_view.h"

#include "frontend/win32/dpi.h"
#include "model/placement.h"
#include "model/presentation.h"
#include "platform/win32/win32_text.h"

#include <commctrl.h>

#include <algorithm>

namespace vqd::win32ui {

using win32::narrow;
using win32::widen;

namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kModalStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kStatusPadTwips = 45;
constexpr int kStatusMostLines = 4;
constexpr Colour kStatusBack = Colour::rgb(0x8B0000);
constexpr Colour kStatusFore = Colour::rgb(0xFFFFFF);

ATOM g_form_class = 0;

COLORREF to_colorref(Colour c) {
    // The system colour carries its GetSysColor index in the low byte.
    return c.is_system() ? GetSysColor(static_cast<int>(c.bgr() & 0xFF)) : static_cast<COLORREF>(c.bgr());
}

std::wstring window_text(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// A one-line box shows its text as model/presentation.h says; a multi-line
// EDIT breaks lines only at CR LF.
std::wstring display_text(const Control& c) {
    if (!c.multiline()) return widen(c.kind() == ControlKind::TextBox ? one_line(c.text()) : c.text());
    std::wstring text = widen(c.text());
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
        out += text[i];
    }
    return out;
}

// The work areas of the monitors there are now.
std::vector<PixelRect> work_areas() {
    std::vector<PixelRect> areas;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& r = info.rcWork;
                reinterpret_cast<std::vector<PixelRect>*>(data)->push_back(
                    PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&areas));
    return areas;
}

WPARAM check_state(int value) {
    return value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
}

// A multi-line EDIT asks the dialog manager for every key, Tab among them, so
// the focus would stay in the first generated-command display for good. It
// keeps its other keys; Tab and Shift+Tab go on along the focus order.
LRESULT CALLBACK tab_leaves_multiline_edit(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                           DWORD_PTR) {
    if (message == WM_GETDLGCODE) {
        LRESULT code = DefSubclassProc(window, message, wparam, lparam);
        const auto* msg = reinterpret_cast<const MSG*>(lparam);
        if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && msg->wParam == VK_TAB)
            code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        return code & ~DLGC_WANTTAB;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, tab_leaves_multiline_edit, id);
    return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

void register_form_class() {
    if (g_form_class) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowView::procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    // A form's own background: the button-face colour of the desktop scheme.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClassName;
    g_form_class = RegisterClassExW(&wc);
}

void dispatch_message(MSG& msg) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && GetClassLongPtrW(root, GCW_ATOM) == g_form_class && IsDialogMessageW(root, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int run_message_loop() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch_message(msg);
    return static_cast<int>(msg.wParam);
}

// --- Creation ---

WindowView::WindowView(Window& model, HWND owner, SchedulerDriver& driver, FontCache& fonts)
    : model_(model), owner_(owner), driver_(driver), fonts_(fonts) {
    register_form_class();
    const UINT guess = dpi_at_point({0, 0});
    dpi_ = dpi_at_point({twips_to_px(model_.left(), guess), twips_to_px(model_.top(), guess)});
    const DWORD style = owner ? kModalStyle : kMainStyle;
    positioning_ = true;  // until place_window() puts it where the model says
    hwnd_ = CreateWindowExW(0, kFormClassName, widen(model_.caption()).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), this);
    dpi_ = dpi_of_window(hwnd_);
    model_.set_handle(reinterpret_cast<std::uintptr_t>(hwnd_));

    // The tooltip window has no owner: under Wine a window that owns another
    // cannot be made topmost, which the always-on-top tick needs. It goes with
    // the form (WM_DESTROY).
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    create_controls();
    status_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL | SS_NOTIFY, 0, 0,
                              0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    add_tooltip(status_, L" ");
    apply_fonts();
    place_window();
    update_status();
    observer_ = model_.observe([this](const Change& change) { apply(change); });
}

WindowView::~WindowView() {
    if (!detached_) model_.unobserve(observer_);
    child_.reset();
    retired_.release_all();
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (tooltip_) DestroyWindow(tooltip_);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

void WindowView::create_controls() {
    const auto& controls = model_.controls();
    items_.clear();
    for (const auto& c : controls) items_.push_back(Item{c.get()});
    // Children are created in the Tab order, which is the order Tab walks them;
    // the controls outside it follow in inventory order.
    std::vector<size_t> order;
    for (const Control* c : model_.focus_order()) order.push_back(static_cast<size_t>(item_of(c) - items_.data()));
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i]->tab_index() < 0) order.push_back(i);
    for (size_t index : order) create_control(index);
}

void WindowView::create_control(size_t index) {
    Item& item = items_[index];
    const Control& c = *item.control;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    const wchar_t* window_class = nullptr;
    switch (c.kind()) {
        case ControlKind::Label:
            window_class = L"STATIC";
            style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
            break;
        case ControlKind::TextBox:
            window_class = L"EDIT";
            ex_style |= WS_EX_CLIENTEDGE;
            style |= ES_LEFT | (c.multiline() ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
            if (c.locked()) style |= ES_READONLY;
            break;
        case ControlKind::TickBox:
            window_class = L"BUTTON";
            style |= BS_3STATE | BS_MULTILINE;
            break;
        case ControlKind::Button:
            window_class = L"BUTTON";
            style |= BS_PUSHBUTTON | BS_MULTILINE;
            break;
        case ControlKind::Timer:
        case ControlKind::Line:
            return;
    }
    if (c.visible()) style |= WS_VISIBLE;
    if (!c.enabled()) style |= WS_DISABLED;
    if (c.tab_index() >= 0) style |= WS_TABSTOP;
    // A screen reader names a text box after the static text created right
    // before it: a hidden one holding the model's name for the box.
    if (c.kind() == ControlKind::TextBox)
        item.name_holder = CreateWindowExW(0, L"STATIC", widen(accessible_name(model_, c)).c_str(), WS_CHILD | SS_NOPREFIX,
                                           0, 0, 0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    const auto id = static_cast<UINT_PTR>(kFirstControlId + index);
    item.hwnd = CreateWindowExW(ex_style, window_class, display_text(c).c_str(), style, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
    if (c.kind() == ControlKind::TickBox) SendMessageW(item.hwnd, BM_SETCHECK, check_state(c.value()), 0);
    if (c.kind() == ControlKind::TextBox && c.multiline()) SetWindowSubclass(item.hwnd, tab_leaves_multiline_edit, 1, 0);
    if (!c.tooltip().empty()) add_tooltip(item.hwnd, widen(c.tooltip()));
}

void WindowView::add_tooltip(HWND control, const std::wstring& text) {
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void WindowView::show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    if (const Item* first = item_of(model_.first_focus()); first && first->hwnd) SetFocus(first->hwnd);
}

HWND WindowView::control_window(std::string_view name) const {
    for (const Item& item : items_)
        if (item.control->name() == name) return item.hwnd;
    return nullptr;
}

// --- Placement ---

void WindowView::measure_status(const std::wstring& text) {
    if (text.empty()) {
        status_height_ = 0;
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int pad = twips_to_px(kStatusPadTwips, dpi_);
    HDC dc = GetDC(status_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(status_, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT r{0, 0, std::max(1, static_cast<int>(client.right) - 2 * pad), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(status_, dc);
    const int line = metrics.tmHeight;
    status_height_ = std::clamp(static_cast<int>(r.bottom), line, kStatusMostLines * line) + 2 * pad;
}

void WindowView::place_window() {
    // Left, Top, Width and Height are the outer window's, as stored.
    int x = twips_to_px(model_.left(), dpi_);
    int y = twips_to_px(model_.top(), dpi_);
    const int w = twips_to_px(model_.width(), dpi_);
    const int h = twips_to_px(model_.height(), dpi_) + status_height();
    // Shown where the model says unless that lies on no monitor's work area
    // (model/placement.h); the model keeps the position it holds.
    const PixelRect shown = place_on_screens(PixelRect{x, y, w, h}, work_areas());
    x = shown.x;
    y = shown.y;
    positioning_ = true;
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    positioning_ = false;
    placed_at_ = {x, y};
    // A window manager (Wine's X11 desktop) may move a window it is placing
    // and put it back; the model tells those reports from the user's moves.
    model_.shown_at(PixelPoint{x, y}, dpi_ / 1440.0);
    layout_controls();
}

void WindowView::layout_controls() {
    for (Item& item : items_) {
        if (!item.hwnd) continue;
        const Rect r = item.control->rect();
        MoveWindow(item.hwnd, twips_to_px(r.left, dpi_), twips_to_px(r.top, dpi_), twips_to_px(r.width, dpi_),
                   twips_to_px(r.height, dpi_), TRUE);
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int h = status_height();
    const int pad = std::min(twips_to_px(kStatusPadTwips, dpi_), h / 2);
    MoveWindow(status_, pad, client.bottom - h + pad, client.right - 2 * pad, h - 2 * pad, TRUE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void WindowView::apply_fonts() {
    for (Item& item : items_) {
        if (!item.hwnd) continue;
        const Font& font = item.control->font() ? *item.control->font() : kDefaultFont;
        SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(font, dpi_)), TRUE);
    }
    SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(Font{"Arial", 8.25, 700}, dpi_)), TRUE);
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(kDefaultFont, dpi_)), TRUE);
}

void WindowView::update_status() {
    const std::wstring text = widen(shown_status(model_));
    SetWindowTextW(status_, text.c_str());
    measure_status(text);
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(status_);
    std::wstring tip = text.empty() ? L" " : text;
    info.lpszText = tip.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    ShowWindow(status_, text.empty() ? SW_HIDE : SW_SHOWNA);
    place_window();
}

// --- Changes from the model ---

WindowView::Item* WindowView::item_of(HWND control) {
    for (Item& item : items_)
        if (item.hwnd == control) return &item;
    return nullptr;
}

WindowView::Item* WindowView::item_of(const Control* control) {
    for (Item& item : items_)
        if (item.control == control) return &item;
    return nullptr;
}

void WindowView::apply(const Change& change) {
    if (detached_ || !hwnd_) return;
    if (!change.control) {
        switch (change.prop) {
            case Prop::WindowCaption:
                SetWindowTextW(hwnd_, widen(model_.caption()).c_str());
                break;
            case Prop::WindowGeometry:
                place_window();
                break;
            case Prop::ModalChildOpened:
                open_child();
                break;
            case Prop::Closed:
                model_closed();
                break;
            case Prop::WindowShown:
                if (model_.hidden()) {
                    ShowWindow(hwnd_, SW_HIDE);
                    break;
                }
                ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
                SetForegroundWindow(hwnd_);
                break;
            case Prop::Status:
                update_status();
                if (child_) child_->update_status();
                break;
            default:
                break;
        }
        return;
    }
    // A caption or a box's value may name another control (model/presentation.h).
    if (change.prop == Prop::Caption || change.prop == Prop::Text || change.prop == Prop::Visible) update_names();
    Item* item = item_of(change.control);
    if (!item) return;
    if (item->control->kind() == ControlKind::Line) {
        InvalidateRect(hwnd_, nullptr, TRUE);
        return;
    }
    if (item->hwnd) apply_control(*item, change.prop);
}

void WindowView::apply_control(Item& item, Prop prop) {
    const Control& c = *item.control;
    HWND h = item.hwnd;
    switch (prop) {
        case Prop::Caption:
        case Prop::Text:
            apply_text(item);
            break;
        case Prop::Enabled:
            // A disabled window cannot keep the focus: hand it on along the Tab order.
            if (!c.enabled() && GetFocus() == h) {
                HWND next = GetNextDlgTabItem(hwnd_, h, FALSE);
                SetFocus(next && next != h ? next : hwnd_);
            }
            EnableWindow(h, c.enabled());
            break;
        case Prop::Locked:
            SendMessageW(h, EM_SETREADONLY, c.locked(), 0);
            break;
        case Prop::Visible:
            ShowWindow(h, c.visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case Prop::BackColor:
            InvalidateRect(h, nullptr, TRUE);
            break;
        case Prop::Value:
            SendMessageW(h, BM_SETCHECK, check_state(c.value()), 0);
            break;
        default:
            break;
    }
}

void WindowView::update_names() {
    for (const Item& item : items_) {
        if (!item.name_holder) continue;
        const std::wstring name = widen(accessible_name(model_, *item.control));
        if (window_text(item.name_holder) != name) SetWindowTextW(item.name_holder, name.c_str());
    }
}

void WindowView::apply_text(Item& item) {
    const std::wstring wanted = display_text(*item.control);
    if (window_text(item.hwnd) == wanted) return;  // keeps the caret where the user typed
    applying_ = true;
    SetWindowTextW(item.hwnd, wanted.c_str());
    applying_ = false;
}

// --- The modal child ---

void WindowView::open_child() {
    Window* child = model_.modal_child();
    if (!child) return;
    if (child_) retired_.retire(std::move(child_));
    child_ = std::make_unique<WindowView>(*child, hwnd_, driver_, fonts_);
    child_->on_closed = [this] { child_closed(); };
    child_->update_status();
    EnableWindow(hwnd_, FALSE);
    child_->show();
}

void WindowView::child_closed() {
    // The owner is enabled before its owned window goes, so the system hands
    // the activation back to it rather than to some other program.
    EnableWindow(hwnd_, TRUE);
    SetActiveWindow(hwnd_);
    // The child's view is on the call stack (its own close); release it later.
    retired_.retire(std::move(child_));
}

void WindowView::model_closed() {
    detached_ = true;
    model_.unobserve(observer_);
    if (on_closed) on_closed();
    if (hwnd_) DestroyWindow(hwnd_);
}

// --- Input ---

void WindowView::command(WORD id, WORD code, HWND from) {
    if (id < kFirstControlId || static_cast<size_t>(id - kFirstControlId) >= items_.size()) return;
    Item& item = items_[static_cast<size_t>(id - kFirstControlId)];
    if (item.hwnd != from) return;
    Control& c = *item.control;
    switch (c.kind()) {
        case ControlKind::Button:
        case ControlKind::TickBox:
        case ControlKind::Label:
            if (code != BN_CLICKED) return;  // STN_CLICKED has the same code
            model_.post_click(c);
            break;
        case ControlKind::TextBox: {
            if (code != EN_CHANGE || applying_) return;
            const std::wstring text = window_text(from);
            if (text == display_text(c)) return;
            model_.post_edit(c, narrow(text));
            break;
        }
        default:
            return;
    }
    driver_.drive();
}

// --- Painting ---

LRESULT WindowView::control_colours(HDC dc, HWND from, bool edit_asks) {
    COLORREF fore;
    COLORREF back;
    if (from == status_) {
        fore = to_colorref(kStatusFore);
        back = to_colorref(kStatusBack);
    } else if (Item* item = item_of(from)) {
        const Control& c = *item->control;
        const bool text_box = c.kind() == ControlKind::TextBox;
        fore = c.fore_colour() ? to_colorref(*c.fore_colour()) : GetSysColor(text_box ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
        back = c.back_colour() ? to_colorref(*c.back_colour()) : GetSysColor(text_box ? COLOR_WINDOW : COLOR_BTNFACE);
    } else {
        fore = GetSysColor(edit_asks ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
        back = GetSysColor(edit_asks ? COLOR_WINDOW : COLOR_BTNFACE);
    }
    SetTextColor(dc, fore);
    SetBkColor(dc, back);
    SetBkMode(dc, OPAQUE);
    HBRUSH& brush = brushes_[back];
    if (!brush) brush = CreateSolidBrush(back);
    return reinterpret_cast<LRESULT>(brush);
}

void WindowView::paint_status_band(HDC dc) {
    if (status_height() == 0) return;
    RECT band{};
    GetClientRect(hwnd_, &band);
    band.top = band.bottom - status_height();
    HBRUSH& brush = brushes_[to_colorref(kStatusBack)];
    if (!brush) brush = CreateSolidBrush(to_colorref(kStatusBack));
    FillRect(dc, &band, brush);
}

void WindowView::paint_lines(HDC dc) {
    for (const Item& item : items_) {
        const Control& c = *item.control;
        if (c.kind() != ControlKind::Line || !c.visible()) continue;
        const COLORREF colour = c.fore_colour() ? to_colorref(*c.fore_colour()) : GetSysColor(COLOR_WINDOWTEXT);
        HPEN pen = CreatePen(PS_SOLID, std::max(1, twips_to_px(15, dpi_)), colour);
        HGDIOBJ old = SelectObject(dc, pen);
        const Rect r = c.rect();  // one end at left/top, the other at width/height
        MoveToEx(dc, twips_to_px(r.left, dpi_), twips_to_px(r.top, dpi_), nullptr);
        LineTo(dc, twips_to_px(r.width, dpi_), twips_to_px(r.height, dpi_));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

// --- Messages ---

LRESULT CALLBACK WindowView::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* view = static_cast<WindowView*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        view->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    auto* view = reinterpret_cast<WindowView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return view ? view->handle(message, wparam, lparam) : DefWindowProcW(window, message, wparam, lparam);
}

LRESULT WindowView::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    HWND self = hwnd_;
    switch (message) {
        case WM_COMMAND:
            if (lparam) command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return control_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                                   message == WM_CTLCOLOREDIT);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(self, &ps);
            paint_status_band(dc);
            paint_lines(dc);
            EndPaint(self, &ps);
            return 0;
        }
        case WM_CLOSE:
            // The model decides; the window goes when the model says it closed.
            model_.post_close();
            driver_.drive();
            return 0;
        case WM_ENDSESSION:
            // Logging off ends the process once this returns: close the way the
            // user would, so the position and options are stored. While a
            // handler waits the close can only be queued behind it, and the
            // session may end first; then nothing is stored. An open settings
            // window does not stop it: that window is closed as cancelled first.
            if (wparam && !owner_) {
                model_.post_session_end();
                driver_.drive();
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(self, focus)) last_focus_ = focus;
            } else if (last_focus_ && IsWindow(last_focus_) && IsWindowEnabled(last_focus_)) {
                SetFocus(last_focus_);
                return 0;
            }
            break;
        case WM_WINDOWPOSCHANGED: {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
            if (!positioning_ && !(pos->flags & SWP_NOMOVE) && !IsIconic(self) && !detached_) {
                RECT r{};
                GetWindowRect(self, &r);
                if (r.left != placed_at_.x || r.top != placed_at_.y) {
                    placed_at_ = {r.left, r.top};
                    model_.reported_at(PixelPoint{r.left, r.top});
                }
            }
            break;
        }
        case WM_DPICHANGED: {
            // Where the system suggests (on the new monitor), at the model's
            // size in the new density.
            dpi_ = HIWORD(wparam);
            apply_fonts();
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            positioning_ = true;
            SetWindowPos(self, nullptr, suggested->left, suggested->top, twips_to_px(model_.width(), dpi_),
                         twips_to_px(model_.height(), dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
            positioning_ = false;
            placed_at_ = {suggested->left, suggested->top};
            model_.set_position(px_to_twips(suggested->left, dpi_), px_to_twips(suggested->top, dpi_));
            model_.shown_at(PixelPoint{suggested->left, suggested->top}, dpi_ / 1440.0);
            update_status();  // measures the strip at the new size and places everything
            return 0;
        }
        case WM_SYSCOLORCHANGE:
            InvalidateRect(self, nullptr, TRUE);
            break;
        case WM_SIZE:
            model_.reported_minimized(wparam == SIZE_MINIMIZED);
            break;
        case WM_CONTEXTMENU: {
            // From the keyboard (-1, -1): as if at the client area's corner.
            POINT screen{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
            if (screen.x == -1 && screen.y == -1) {
                screen = {0, 0};
                ClientToScreen(self, &screen);
            }
            POINT client = screen;
            ScreenToClient(self, &client);
            if (model_.context_click({static_cast<int>(px_to_twips(client.x, dpi_)),
                                      static_cast<int>(px_to_twips(client.y, dpi_)), {screen.x, screen.y}}))
                return 0;
            break;
        }
        case WM_DESTROY:
            if (tooltip_) DestroyWindow(tooltip_);
            tooltip_ = nullptr;
            break;
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            SetWindowLongPtrW(self, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcW(self, message, wparam, lparam);
}

}  // namespace vqd::win32ui
