#include "win32/window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "system/windows/latin1_text.h"
#include "ui/palette.h"
#include "win32/resource.h"

namespace r462xe {

namespace {

using namespace layout;

// The entries the port list shows at once when it drops down: every port.
constexpr int kListEntriesShown = 16;

// A tooltip's lines wrap at this width (pixels at 96 dots per inch); a line break in a tip is
// kept.
constexpr int kTipWidth = 480;

// Arial at 9.75 points, in hundredths of a point.
constexpr int kFontCentipoints = 975;
constexpr int kCentipointsPerInch = 7200;

// Control numbers; 1 and 2 are left to the dialog keys' OK and Cancel.
enum ControlId : int {
    kLabelId = 100,
    kCom1Id = 200,
    kCommand1Id,
    kCommand2Id,
    kProgressBar1Id,
    kFrame1Id,
};

// Not WS_CLIPCHILDREN: the frame draws only its line and caption, and the window's background
// shows through the rest of it.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

// A label shows its caption on one line: the line break that ends the warning text is not a line
// of its own on screen.
std::wstring label_text(const std::string& caption) {
    std::wstring text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption.compare(i, 2, "\r\n") == 0) {
            text.push_back(L'\n');
            ++i;
        } else {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(caption[i])));
        }
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

COLORREF label_colour(int palette_index) {
    if (palette_index < 0 || palette_index >= static_cast<int>(kPaletteRgb.size()))
        return GetSysColor(COLOR_WINDOWTEXT);  // no colour of its own
    const std::uint32_t rgb = kPaletteRgb[static_cast<std::size_t>(palette_index)];
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int CALLBACK note_font(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Arial where it exists; elsewhere a face with the same metrics, so that texts fit as drawn.
std::wstring font_face() {
    const wchar_t* const faces[] = {L"Arial", L"Liberation Sans", L"Arimo"};
    HDC screen = GetDC(nullptr);
    std::wstring chosen = faces[0];
    for (const wchar_t* face : faces) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExW(screen, &wanted, &note_font, reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            chosen = face;
            break;
        }
    }
    ReleaseDC(nullptr, screen);
    return chosen;
}

void register_window_class(WNDPROC procedure) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(R462XE_ICON));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("RegisterClassExW failed for the window");
}

HICON load_icon(UINT dpi, int metric) {
    const int size = GetSystemMetricsForDpi(metric, dpi);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(R462XE_ICON),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

int whole(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

void run_handler(ErrorLog& error_log, const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        error_log.write_line(std::string(handler) + ": " + error.what());
    } catch (...) {
        error_log.write_line(std::string(handler) + ": unknown error");
    }
}

Win32Window::Win32Window(Controls& controls, WindowHandlers handlers, ErrorLog& error_log)
    : controls_(controls), handlers_(std::move(handlers)), error_log_(error_log) {
    build();
    bind();
}

Win32Window::~Win32Window() {
    // The tips go first: the window owns them.
    if (tips_) DestroyWindow(tips_);
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_) DeleteObject(font_);
    if (big_icon_) DestroyIcon(big_icon_);
    if (small_icon_) DestroyIcon(small_icon_);
}

void Win32Window::close() {
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

int Win32Window::pixels(int twips) const {
    return MulDiv(twips, static_cast<int>(dpi_), kTwipsPerInch);
}

HWND Win32Window::add_control(const wchar_t* window_class, const std::string& text, DWORD style,
                              int id, const TwipsPlace& at) {
    HWND control = CreateWindowExW(0, window_class, wide(text).c_str(), kChildStyle | style, 0, 0,
                                   0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control) throw std::runtime_error("CreateWindowExW failed for a control");
    placed_.push_back({control, at});
    return control;
}

HWND Win32Window::add_label(Label& label, const TwipsPlace& at) {
    // One line, vertically centred, '&' shown as it is.
    HWND widget = add_control(WC_STATICW, "", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
                              kLabelId + static_cast<int>(labels_.size()), at);
    labels_.emplace_back(widget, &label);
    sync_label(widget, label, Property::Caption);
    sync_label(widget, label, Property::Visible);
    return widget;
}

void Win32Window::build() {
    register_window_class(&Win32Window::procedure);
    hwnd_ = CreateWindowExW(0, kWindowClass, wide(texts::kWindowCaption).c_str(), kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
    if (!hwnd_) throw std::runtime_error("CreateWindowExW failed for the window");
    font_face_ = font_face();

    // A control created later lies below the earlier ones. The labels lie below every other
    // control, as a form draws its labels: a label's width may reach under the control beside it
    // (the port list's caption). The Tab key follows the same order: the list, then the buttons.
    com1_ = add_control(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
                        kCom1Id, kCom1);
    SendMessageW(com1_, CB_SETMINVISIBLE, kListEntriesShown, 0);
    add_port_tips();
    sync_port_list(true);

    // The two buttons form one group: the arrow keys move between them, as in a dialog.
    command1_ = add_control(WC_BUTTONW, controls_.Command1.caption(),
                            BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kCommand1Id, kCommand1);
    EnableWindow(command1_, controls_.Command1.enabled());
    command2_ = add_control(WC_BUTTONW, controls_.Command2.caption(), BS_PUSHBUTTON | WS_TABSTOP,
                            kCommand2Id, kCommand2);
    EnableWindow(command2_, controls_.Command2.enabled());

    // The bar lies above its frame, which is drawn around it.
    progress_bar1_ =
        add_control(PROGRESS_CLASSW, "", WS_GROUP, kProgressBar1Id,
                    {kFrame1.left + kProgressBar1.left, kFrame1.top + kProgressBar1.top,
                     kProgressBar1.width, kProgressBar1.height});
    SetWindowSubclass(progress_bar1_, &Win32Window::progress_procedure, 0,
                      reinterpret_cast<DWORD_PTR>(this));
    sync_progress();
    frame1_ = add_control(WC_BUTTONW, controls_.Frame1.caption(), BS_GROUPBOX, kFrame1Id, kFrame1);

    add_label(controls_.Label8, kLabel8);
    add_label(controls_.Label7, kLabel7);
    add_label(controls_.Label3, kLabel3);
    add_label(controls_.Label5, kLabel5);
    add_label(controls_.Label1, kLabel1);
    add_label(controls_.Label4, kLabel4);
    add_label(controls_.Label2, kLabel2);
    // The warning shares the advice's line; while it shows, it covers the advice.
    add_label(controls_.Label6, kLabel6);
    add_label(controls_.Label9, kLabel9);

    lay_out(GetDpiForWindow(hwnd_));
}

void Win32Window::lay_out(UINT dpi) {
    dpi_ = dpi;
    HFONT font = CreateFontW(-MulDiv(kFontCentipoints, static_cast<int>(dpi_), kCentipointsPerInch),
                             0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, font_face_.c_str());
    for (const Placed& control : placed_) {
        int height = pixels(control.at.height);
        // A drop-down list's height includes its open list.
        if (control.hwnd == com1_) height += kListEntriesShown * pixels(kLabelHeight);
        SetWindowPos(control.hwnd, nullptr, pixels(control.at.left), pixels(control.at.top),
                     pixels(control.at.width), height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (font_) DeleteObject(font_);
    font_ = font;

    RECT frame{0, 0, pixels(kClientArea.width), pixels(kClientArea.height)};
    AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    HICON big = load_icon(dpi_, SM_CXICON);
    HICON small = load_icon(dpi_, SM_CXSMICON);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (big_icon_) DestroyIcon(big_icon_);
    if (small_icon_) DestroyIcon(small_icon_);
    big_icon_ = big;
    small_icon_ = small;
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32Window::bind() {
    for (const auto& [widget, label] : labels_) {
        HWND shown = widget;
        label->add_listener([this, shown](const Control& control, Property property) {
            sync_label(shown, static_cast<const Label&>(control), property);
        });
    }
    controls_.COM1.add_listener(
        [this](const Control&, Property property) { sync_port_list(property == Property::Items); });
    controls_.Command1.add_listener([this](const Control&, Property) {
        sync_enabled(command1_, controls_.Command1.enabled());
    });
    controls_.Command2.add_listener([this](const Control&, Property) {
        sync_enabled(command2_, controls_.Command2.enabled());
    });
    controls_.ProgressBar1.add_listener([this](const Control&, Property) { sync_progress(); });
}

void Win32Window::sync_label(HWND widget, const Label& label, Property property) {
    switch (property) {
        case Property::Caption:
            SetWindowTextW(widget, label_text(label.caption()).c_str());
            break;
        case Property::Visible:
            ShowWindow(widget, label.visible() ? SW_SHOWNA : SW_HIDE);
            break;
        default:
            // The colour is read as the label is drawn.
            InvalidateRect(widget, nullptr, TRUE);
            break;
    }
}

void Win32Window::sync_port_list(bool items_changed) {
    const auto& list = controls_.COM1;
    // The widget follows the model; nothing set here comes back as a pick (the list tells its
    // parent only of the user's selections).
    if (items_changed) {
        SendMessageW(com1_, CB_RESETCONTENT, 0, 0);
        for (const auto& item : list.items())
            SendMessageW(com1_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    }
    SendMessageW(com1_, CB_SETCURSEL, static_cast<WPARAM>(list.list_index()), 0);
    sync_enabled(com1_, list.enabled());
    // The tips change with the entries unchanged too (a port chosen holds something else): a tip
    // on screen shows its new text at once, and a tip no longer there goes.
    if (tips_ && IsWindowVisible(tips_)) {
        const wchar_t* text = nullptr;
        for (HWND tool : {com1_, com1_entries_}) {
            if (!tool) continue;
            TOOLINFOW info{};
            info.cbSize = sizeof(info);
            info.hwnd = hwnd_;
            info.uId = reinterpret_cast<UINT_PTR>(tool);
            if (SendMessageW(tips_, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info)) &&
                info.uId == reinterpret_cast<UINT_PTR>(tool))
                text = port_tip(tool);
        }
        if (text && *text)
            SendMessageW(tips_, TTM_UPDATE, 0, 0);
        else
            SendMessageW(tips_, TTM_POP, 0, 0);
    }
}

void Win32Window::add_port_tips() {
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tips_) return;  // the list works without its tips
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, MulDiv(kTipWidth, static_cast<int>(dpi_), 96));
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    if (GetComboBoxInfo(com1_, &combo)) com1_entries_ = combo.hwndList;
    // Each tool asks for its text as the tip shows: the controls hold the texts.
    for (HWND tool : {com1_, com1_entries_}) {
        if (!tool) continue;
        TOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd_;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    // The mouse moving onto another entry shows that entry's tip.
    if (com1_entries_)
        SetWindowSubclass(com1_entries_, &Win32Window::port_entries_procedure, 0,
                          reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Win32Window::port_entries_procedure(HWND list, UINT message, WPARAM wparam,
                                                     LPARAM lparam, UINT_PTR,
                                                     DWORD_PTR self) noexcept {
    auto& window = *reinterpret_cast<Win32Window*>(self);
    if (message == WM_MOUSEMOVE && window.tips_) {
        const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lparam);
        // The high word says whether the point lies outside every entry.
        const int entry = HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
        if (entry != window.tip_entry_) {
            window.tip_entry_ = entry;
            SendMessageW(window.tips_, TTM_POP, 0, 0);
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, &Win32Window::port_entries_procedure, 0);
    }
    return DefSubclassProc(list, message, wparam, lparam);
}

const wchar_t* Win32Window::port_tip(HWND tool) {
    const auto& list = controls_.COM1;
    if (tool == com1_entries_) {
        const auto& tips = list.item_tips();
        const auto entry = static_cast<std::size_t>(tip_entry_);
        tip_text_ = tip_entry_ >= 0 && entry < tips.size() ? wide(tips[entry]) : std::wstring();
    } else {
        tip_text_ = wide(list.tooltip());
    }
    return tip_text_.c_str();
}

void Win32Window::sync_progress() {
    const auto& bar = controls_.ProgressBar1;
    const int max = std::max(0, whole(bar.max()));
    SendMessageW(progress_bar1_, PBM_SETRANGE32, 0, max);
    SendMessageW(progress_bar1_, PBM_SETPOS,
                 static_cast<WPARAM>(std::clamp(whole(bar.value()), 0, max)), 0);
    std::wstring text = wide(bar.text());
    if (text == progress_text_) return;
    progress_text_ = std::move(text);
    InvalidateRect(progress_bar1_, nullptr, FALSE);
}

void Win32Window::sync_enabled(HWND widget, bool enabled) {
    if ((IsWindowEnabled(widget) != FALSE) == enabled) return;
    const bool had_focus = GetFocus() == widget;
    if (had_focus) last_focus_ = widget;
    EnableWindow(widget, enabled);
    // The keys keep working while the control with the focus is disabled: the window holds the
    // focus meanwhile, and gives it back once that control is enabled again; the first control
    // enabled after the load takes it. Only in the active window: an inactive one gets its focus
    // back as it is activated.
    if (GetActiveWindow() != hwnd_) return;
    if (had_focus)
        SetFocus(hwnd_);
    else if (enabled && (!last_focus_ || widget == last_focus_) && GetFocus() == hwnd_)
        SetFocus(widget);
}

bool Win32Window::focus_a_control() {
    HWND target = last_focus_;
    if (!target || !IsWindowEnabled(target) || !IsWindowVisible(target))
        target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (!target || !IsWindowEnabled(target)) return false;
    SetFocus(target);
    return true;
}

LRESULT CALLBACK Win32Window::procedure(HWND hwnd, UINT message, WPARAM wparam,
                                        LPARAM lparam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // The messages that come before the window knows its controls need nothing of its own.
    if (!self || !self->hwnd_) return DefWindowProcW(hwnd, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

LRESULT Win32Window::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            on_command(LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lparam);
            if (header->hwndFrom == tips_ && header->code == TTN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
                // The tool is named by its window.
                info->lpszText =
                    const_cast<wchar_t*>(port_tip(reinterpret_cast<HWND>(header->idFrom)));
                info->hinst = nullptr;
                return 0;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
            return static_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        case DM_GETDEFID: {
            // Enter presses the focused button, as in a dialog.
            HWND focus = GetFocus();
            if ((focus == command1_ || focus == command2_) && IsWindowEnabled(focus))
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
            return 0;
        }
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) last_focus_ = focus;
                return 0;
            }
            if (!HIWORD(wparam) && focus_a_control()) return 0;
            break;
        case WM_CLOSE:
            on_close();
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            lay_out(HIWORD(wparam));
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void Win32Window::on_command(int id, int code) {
    switch (id) {
        case kCommand1Id:
            if (code == BN_CLICKED)
                run_handler(error_log_, "Command1_Click", handlers_.command1_click);
            break;
        case kCommand2Id:
            if (code == BN_CLICKED)
                run_handler(error_log_, "Command2_Click", handlers_.command2_click);
            break;
        case kCom1Id:
            on_port_list(code);
            break;
        default:
            // The dialog keys' OK (Enter with no button focused) and Cancel (Escape) do nothing.
            break;
    }
}

void Win32Window::on_port_list(int code) {
    const int index = static_cast<int>(SendMessageW(com1_, CB_GETCURSEL, 0, 0));
    switch (code) {
        case CBN_DROPDOWN:
            list_dropped_ = true;
            return;
        case CBN_CLOSEUP:
            list_dropped_ = false;
            return;
        case CBN_SELENDCANCEL:
            // The list closed without a pick: it shows the entry that stays selected.
            SendMessageW(com1_, CB_SETCURSEL, static_cast<WPARAM>(controls_.COM1.list_index()), 0);
            return;
        case CBN_SELENDOK:
            // A pick: an entry chosen from the open list, also the one already selected, or another
            // entry chosen with the keys on the closed list (which also tell of the same entry
            // again at either end of the list).
            if (index < 0 || (!list_dropped_ && index == controls_.COM1.list_index())) return;
            run_handler(error_log_, "COM1_Click",
                        [this, index] { controls_.COM1.user_pick(index); });
            return;
        default:
            // The selection moving over the open list is no pick yet.
            return;
    }
}

void Win32Window::on_close() {
    bool cancel = true;
    run_handler(error_log_, "Form_Unload", [this, &cancel] { cancel = handlers_.close_request(); });
    if (!cancel && on_end_) on_end_();
}

LRESULT Win32Window::static_colours(HDC dc, HWND widget) const {
    COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    const auto label = std::find_if(labels_.begin(), labels_.end(),
                                    [widget](const auto& entry) { return entry.first == widget; });
    if (label != labels_.end()) colour = label_colour(label->second->fore_colour());
    SetTextColor(dc, colour);
    // Drawn on the window's own background, which also hides what lies below (the advice under
    // the warning).
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK Win32Window::progress_procedure(HWND bar, UINT message, WPARAM wparam,
                                                 LPARAM lparam, UINT_PTR, DWORD_PTR self) noexcept {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // painted whole, with its text, in one go
        case WM_PAINT:
            reinterpret_cast<const Win32Window*>(self)->paint_progress(bar);
            return 0;
        default:
            return DefSubclassProc(bar, message, wparam, lparam);
    }
}

// The bar as the system draws it, and the control's text over it, centred: drawn off screen
// first, so that it does not flicker as the bar moves.
void Win32Window::paint_progress(HWND bar) const {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(bar, &paint);
    RECT area;
    GetClientRect(bar, &area);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    DefSubclassProc(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    if (!progress_text_.empty()) {
        HGDIOBJ old_font = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT text_area = area;
        DrawTextW(dc, progress_text_.c_str(), static_cast<int>(progress_text_.size()), &text_area,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old_font);
    }
    BitBlt(screen, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(bar, &paint);
}

}  // namespace r462xe
