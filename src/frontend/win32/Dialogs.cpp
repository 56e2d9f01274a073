// The Monitor's questions as Win32 dialogs: message boxes, and modal dialogs from the layouts
// of DialogTemplate.cpp driven by their bindings.
#include "frontend/win32/DialogTemplate.h"
#include "frontend/win32/DialogWindow.h"
#include "frontend/win32/Gui.h"
#include "platform/Text.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

namespace gui {

namespace {

// The open dialogs, the open message boxes, and whether the Monitor is ending under them.
std::set<HWND> g_dialogs;
int g_openBoxes = 0;
bool g_ending = false;

HWND Control(void* dialog, int id) {
    return ::GetDlgItem(static_cast<HWND>(dialog), id);
}

LRESULT Send(void* dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendDlgItemMessageW(static_cast<HWND>(dialog), id, message, wParam, lParam);
}

SYSTEMTIME ToSystemTime(const DateTime& value) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(value.year);
    time.wMonth = static_cast<WORD>(value.month);
    time.wDay = static_cast<WORD>(value.day);
    time.wHour = static_cast<WORD>(value.hour);
    time.wMinute = static_cast<WORD>(value.minute);
    time.wSecond = static_cast<WORD>(value.second);
    return time;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The width of `text` in `font` on `window`.
int TextWidth(HWND window, const LOGFONTW& font, const std::wstring& text) {
    const HDC dc = ::GetDC(window);
    const HFONT made = ::CreateFontIndirectW(&font);
    const HGDIOBJ previous = ::SelectObject(dc, made);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    ::DeleteObject(made);
    ::ReleaseDC(window, dc);
    return size.cx;
}

bool IsListBox(HWND control) {
    wchar_t name[16] = {};
    ::GetClassNameW(control, name, 16);
    return ::lstrcmpiW(name, WC_LISTBOXW) == 0;
}

int Box(HWND owner, const std::string& message, const std::string& caption, UINT type) {
    ++g_openBoxes;
    const int answer =
        ::MessageBoxW(owner, text::ToWide(message).c_str(), text::ToWide(caption).c_str(),
                      type | (owner == nullptr ? MB_SETFOREGROUND : 0));
    --g_openBoxes;
    return g_ending ? 0 : answer;
}

} // namespace

struct DialogProcedure {
    static INT_PTR CALLBACK Run(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* dialog = reinterpret_cast<CModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
        if (message == WM_INITDIALOG) {
            dialog = reinterpret_cast<CModalDialog*>(lParam);
            ::SetWindowLongPtrW(window, DWLP_USER, lParam);
            dialog->m_window = window;
            g_dialogs.insert(window);
            dialog->m_events->OnInitDialog();
            return TRUE;
        }
        if (dialog == nullptr) {
            return FALSE;
        }
        switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const unsigned code = HIWORD(wParam);
            // Code 0 is a click, Enter or Escape whatever sent it; code 1 is a selection change
            // of a list box, but also of a combo box, which its bindings do not ask about.
            if (code == BN_CLICKED) {
                dialog->m_events->OnCommand(id, kClicked);
                return TRUE;
            }
            if (code == LBN_SELCHANGE && IsListBox(reinterpret_cast<HWND>(lParam))) {
                dialog->m_events->OnCommand(id, kListSelChange);
                return TRUE;
            }
            break;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == DTN_DATETIMECHANGE) {
                dialog->m_events->OnCommand(static_cast<int>(header->idFrom), kDateTimeChange);
                return TRUE;
            }
            break;
        }
        case WM_TIMER:
            dialog->m_events->OnTimer(static_cast<unsigned>(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            const std::int64_t color =
                dialog->m_events->TextColor(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
            if (color < 0) {
                break;
            }
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, static_cast<COLORREF>(color));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DESTROY:
            g_dialogs.erase(window);
            dialog->m_window = nullptr;
            break;
        default:
            break;
        }
        return FALSE;
    }
};

int CModalDialog::Run(DialogLayout layout, IDialogEvents& events, void* owner) {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        return ::InitCommonControlsEx(&classes) != FALSE;
    }();
    if (!registered || g_ending) {
        return 0;
    }
    m_events = &events;
    const CDialogTemplate form = MakeLayout(layout);
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), form.Get(), static_cast<HWND>(owner),
                                  &DialogProcedure::Run, reinterpret_cast<LPARAM>(this));
    m_events = nullptr;
    return g_ending || result < 0 ? 0 : static_cast<int>(result);
}

void CModalDialog::End(int result) {
    ::EndDialog(static_cast<HWND>(m_window), result);
}

void CModalDialog::SetTitle(const std::string& text) {
    ::SetWindowTextW(static_cast<HWND>(m_window), text::ToWide(text).c_str());
}

void CModalDialog::BringToFront() {
    ::SetForegroundWindow(static_cast<HWND>(m_window));
}

void CModalDialog::SetText(int id, const std::string& text) {
    ::SetDlgItemTextW(static_cast<HWND>(m_window), id, text::ToWide(text).c_str());
}

std::string CModalDialog::Text(int id) const {
    return text::FromWide(WindowText(Control(m_window, id)));
}

void CModalDialog::Enable(int id, bool enabled) {
    ::EnableWindow(Control(m_window, id), enabled ? TRUE : FALSE);
}

void CModalDialog::Check(int id, bool checked) {
    Send(m_window, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CModalDialog::IsChecked(int id) const {
    return Send(m_window, id, BM_GETCHECK) == BST_CHECKED;
}

void CModalDialog::Focus(int id) {
    // The dialog's own way, so that the default button follows.
    ::SendMessageW(static_cast<HWND>(m_window), WM_NEXTDLGCTL,
                   reinterpret_cast<WPARAM>(Control(m_window, id)), TRUE);
}

int CModalDialog::MissingWidth(int id) const {
    SIZE ideal{};
    RECT rect{};
    const HWND control = Control(m_window, id);
    if (::SendMessageW(control, DTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) == 0 ||
        !::GetWindowRect(control, &rect)) {
        return 0;
    }
    return std::max(0L, ideal.cx - (rect.right - rect.left));
}

int CModalDialog::MissingTitleWidth() const {
    const auto window = static_cast<HWND>(m_window);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    RECT outer{};
    RECT client{};
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) ||
        !::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen) ||
        !::GetWindowRect(window, &outer) || !::GetClientRect(window, &client)) {
        return 0;
    }
    // The title bar sets the caption in the desktop's caption font between the frame's edges,
    // with the close button on the right and a button's width of room for the margins.
    const int width = outer.right - outer.left;
    const int frame = width - (client.right - client.left);
    const int wanted = TextWidth(window, metrics.lfCaptionFont, WindowText(window)) +
                       2 * metrics.iCaptionWidth + frame;
    const int room = screen.rcWork.right - screen.rcWork.left;
    return std::max(0, std::min(wanted, room) - width);
}

void CModalDialog::MoveRight(int id, int dx, int widen) {
    const HWND window = id == 0 ? static_cast<HWND>(m_window) : Control(m_window, id);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    if (id != 0) {
        ::MapWindowPoints(HWND_DESKTOP, static_cast<HWND>(m_window),
                          reinterpret_cast<POINT*>(&rect), 2);
    }
    ::SetWindowPos(window, nullptr, rect.left + dx, rect.top, rect.right - rect.left + widen,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CModalDialog::ShowQuestionIcon(int id) {
    Send(m_window, id, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_QUESTION)));
}

void CModalDialog::SetPickerFormat(int id, const std::string& format) {
    const std::wstring wide = text::ToWide(format);
    Send(m_window, id, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void CModalDialog::SetPickerRange(int id, const DateTime& first, const DateTime& last) {
    const SYSTEMTIME range[2] = {ToSystemTime(first), ToSystemTime(last)};
    Send(m_window, id, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
}

void CModalDialog::SetPicker(int id, const DateTime& value) {
    const SYSTEMTIME time = ToSystemTime(value);
    Send(m_window, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

DateTime CModalDialog::Picker(int id) const {
    SYSTEMTIME time{};
    Send(m_window, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

void CModalDialog::SetUpDown(int id, int lower, int upper, int position) {
    // Setting the position writes it into the buddy: the buddy's text is put back after it.
    const auto buddy = reinterpret_cast<HWND>(Send(m_window, id, UDM_GETBUDDY));
    const std::string text = Text(::GetDlgCtrlID(buddy));
    Send(m_window, id, UDM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    Send(m_window, id, UDM_SETPOS32, 0, position);
    SetText(::GetDlgCtrlID(buddy), text);
}

void CModalDialog::AddComboItem(int id, const std::string& text, int data) {
    const std::wstring wide = text::ToWide(text);
    const LRESULT index =
        Send(m_window, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index >= 0) {
        Send(m_window, id, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
}

void CModalDialog::SelectComboData(int id, int data) {
    const LRESULT count = Send(m_window, id, CB_GETCOUNT);
    for (LRESULT index = 0; index < count; ++index) {
        if (Send(m_window, id, CB_GETITEMDATA, static_cast<WPARAM>(index)) == data) {
            Send(m_window, id, CB_SETCURSEL, static_cast<WPARAM>(index));
            return;
        }
    }
}

int CModalDialog::SelectedComboData(int id) const {
    // Typing into the edit field leaves the previous item selected: what counts is the text
    // the user sees.
    const std::wstring shown = text::ToWide(Text(id));
    LRESULT index = Send(m_window, id, CB_GETCURSEL);
    std::wstring item;
    if (index >= 0) {
        item.resize(static_cast<std::size_t>(
                        Send(m_window, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index))) +
                    1);
        item.resize(
            static_cast<std::size_t>(Send(m_window, id, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(item.data()))));
    }
    if (index < 0 || item != shown) {
        const std::size_t first = shown.find_first_not_of(L' ');
        const std::wstring trimmed =
            first == std::wstring::npos
                ? std::wstring()
                : shown.substr(first, shown.find_last_not_of(L' ') - first + 1);
        index = trimmed.empty() ? CB_ERR
                                : Send(m_window, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(trimmed.c_str()));
    }
    return index < 0
               ? -1
               : static_cast<int>(Send(m_window, id, CB_GETITEMDATA, static_cast<WPARAM>(index)));
}

void CModalDialog::ShowComboDropDown(int id) {
    Focus(id);
    Send(m_window, id, CB_SHOWDROPDOWN, TRUE);
}

void CModalDialog::SetListLines(int id, const std::vector<std::string>& lines) {
    const HWND list = Control(m_window, id);
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    // The list scrolls sideways as far as its longest line reaches.
    const HDC dc = ::GetDC(list);
    const HGDIOBJ font =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::string& line : lines) {
        const std::wstring wide = text::ToWide(line);
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        widest = std::max(widest, size.cx);
    }
    ::SelectObject(dc, font);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

int CModalDialog::SelectedListIndex(int id) const {
    const LRESULT index = Send(m_window, id, LB_GETCURSEL);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

bool CModalDialog::SetTimer(unsigned id, unsigned elapseMs) {
    return ::SetTimer(static_cast<HWND>(m_window), id, elapseMs, nullptr) != 0;
}

void CModalDialog::KillTimer(unsigned id) {
    ::KillTimer(static_cast<HWND>(m_window), id);
}

bool CModalDialog::Confirm(const std::string& text, const std::string& caption) {
    return Box(static_cast<HWND>(m_window), text, caption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void CModalDialog::Warn(const std::string& text, const std::string& caption) {
    Box(static_cast<HWND>(m_window), text, caption, MB_OK | MB_ICONWARNING);
}

int QuestionBox(void* owner, const std::string& message, const std::string& caption, bool yesNo) {
    const int answer = Box(static_cast<HWND>(owner), message, caption,
                           (yesNo ? MB_YESNO : MB_OKCANCEL) | MB_ICONQUESTION);
    switch (answer) {
    case IDOK:
    case IDCANCEL:
    case IDYES:
    case IDNO:
        return answer;
    default:
        return 0;
    }
}

bool IsAsking() {
    return !g_dialogs.empty() || g_openBoxes > 0;
}

void EndQuestions() {
    g_ending = true;
    for (HWND dialog : std::set<HWND>(g_dialogs)) {
        ::EndDialog(dialog, 0);
    }
}

} // namespace gui
