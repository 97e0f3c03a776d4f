// The window on screen: one Win32 control per control of the window, kept in step with the control
// models, and the user's actions forwarded to the window's handlers.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls.h"
#include "ui/platform.h"
#include "ui/window_layout.h"

namespace r462xe {

// The class of the window, by which a later start finds the running instance's window.
inline constexpr const wchar_t* kWindowClass = L"r462xe-fwupdate.Form1";

using layout::TwipsPlace;

// What the user's actions on the window run. A pick in the port list goes through the list's own
// click event.
struct WindowHandlers {
    std::function<void()> command1_click;
    std::function<void()> command2_click;
    // The close request; true cancels it.
    std::function<bool()> close_request;
};

// Runs one handler called from the window system: an error ends the handler, never the program,
// and is reported in the error log; the window stays usable.
void run_handler(ErrorLog& error_log, const char* handler, const std::function<void()>& body);

class Win32Window {
  public:
    // Creates the window hidden; the load shows it.
    Win32Window(Controls& controls, WindowHandlers handlers, ErrorLog& error_log);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Where the program ends once the close request is granted.
    void set_on_end(std::function<void()> on_end) { on_end_ = std::move(on_end); }
    // The close request, as the user's close raises it.
    void close();

  private:
    // A control on screen and where the layout puts it.
    struct Placed {
        HWND hwnd;
        TwipsPlace at;
    };

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept;
    static LRESULT CALLBACK progress_procedure(HWND bar, UINT message, WPARAM wparam, LPARAM lparam,
                                               UINT_PTR, DWORD_PTR self) noexcept;
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

    void build();
    void bind();
    HWND add_control(const wchar_t* window_class, const std::string& text, DWORD style, int id,
                     const TwipsPlace& at);
    HWND add_label(Label& label, const TwipsPlace& at);
    // Positions, fonts and icons at the window's dots per inch.
    void lay_out(UINT dpi);
    int pixels(int twips) const;

    void sync_label(HWND widget, const Label& label, Property property);
    void sync_port_list(bool items_changed);
    // The tooltips of the port list: the list's own over the closed list, each entry's over the
    // entry in the dropped list.
    void add_port_tips();
    static LRESULT CALLBACK port_entries_procedure(HWND list, UINT message, WPARAM wparam,
                                                   LPARAM lparam, UINT_PTR,
                                                   DWORD_PTR self) noexcept;
    // The text the tooltip asks for: the list's, or the entry's under the mouse.
    const wchar_t* port_tip(HWND tool);
    void sync_progress();
    void sync_enabled(HWND widget, bool enabled);

    void on_command(int id, int code);
    void on_port_list(int code);
    void on_close();
    // The colours of a label, the frame's caption and the port list while it is disabled.
    LRESULT static_colours(HDC dc, HWND widget) const;
    void paint_progress(HWND bar) const;
    // Focus to the control that had it last, else to the first that takes it; false when none
    // does.
    bool focus_a_control();

    Controls& controls_;
    WindowHandlers handlers_;
    ErrorLog& error_log_;
    std::function<void()> on_end_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::wstring font_face_;
    HFONT font_ = nullptr;
    HICON big_icon_ = nullptr;
    HICON small_icon_ = nullptr;
    std::vector<Placed> placed_;
    // Each label on screen with its control, for its text colour.
    std::vector<std::pair<HWND, Label*>> labels_;
    HWND com1_ = nullptr;
    HWND command1_ = nullptr;
    HWND command2_ = nullptr;
    HWND frame1_ = nullptr;
    HWND progress_bar1_ = nullptr;
    std::wstring progress_text_;
    HWND tips_ = nullptr;
    // The dropped list of the port list, where the entries lie.
    HWND com1_entries_ = nullptr;
    // The entry under the mouse there, -1 for none.
    int tip_entry_ = -1;
    // What the tooltip shows now; it reads the text while it shows.
    std::wstring tip_text_;
    // The port list is open: a pick there counts also for the entry already selected.
    bool list_dropped_ = false;
    // The control that had the focus before the window lost it, or before it was disabled.
    HWND last_focus_ = nullptr;
};

}  // namespace r462xe
