#include "frontend/win32/Gui.h"
#include "platform/Text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h must come first.
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>

namespace gui {

namespace {

// The tray's text fields have a fixed size: a longer text (a long path in a failure) is cut
// between characters with a visible ellipsis, never mid-character.
template <std::size_t N> void CopyToField(wchar_t (&field)[N], const std::string& utf8) {
    lstrcpynW(field, text::ToWide(text::ClipToUtf16(utf8, N - 1)).c_str(), N);
}

constexpr UINT kTrayIconId = 1;

// The messages other programs reach the Monitor by: the tray's callback, a new notification
// area, and another start asking for the window.
UINT TrayCallbackMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"NIconMessage");
    return message;
}
UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}
UINT OpenRequestMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"QuorvelProMonitorOpen");
    return message;
}

// The main window's icons are the program's resources (quorvel-monitor.rc).
constexpr int kProgramIconId = 1;
constexpr int kTrayIconResourceId = 2;

} // namespace

struct CFrameWindow::Impl {
    IFrameEvents* events = nullptr;
    HWND window = nullptr;
    HWND log = nullptr;
    HMENU bar = nullptr;
    HICON trayIcon = nullptr;
    HICON programIcon = nullptr;
    unsigned clockId = 0;
    bool menuOpen = false;
    bool trayAdded = false;
    COLORREF background = 0;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateLog();
    NOTIFYICONDATAW TrayData() const;
};

CFrameWindow::CFrameWindow() : m_impl(new Impl) {}

CFrameWindow::~CFrameWindow() {
    Destroy();
    delete m_impl;
}

LRESULT CALLBACK CFrameWindow::Impl::Procedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* impl = static_cast<Impl*>(create->lpCreateParams);
        impl->window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (impl == nullptr || impl->events == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return impl->OnMessage(message, wParam, lParam);
}

LRESULT CFrameWindow::Impl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (log != nullptr) {
            ::MoveWindow(log, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        }
        return 0;
    case WM_SETFOCUS:
        if (log != nullptr) {
            ::SetFocus(log);
        }
        return 0;
    case WM_COMMAND:
        // Menus and accelerators only; the log's notifications are not commands.
        if (lParam == 0) {
            events->OnCommand(LOWORD(wParam));
        }
        return 0;
    case WM_TIMER:
        events->OnTimer(static_cast<unsigned>(wParam));
        return 0;
    case WM_INITMENU:
        events->OnInitMenu();
        return 0;
    case WM_ENTERMENULOOP:
        menuOpen = true;
        return 0;
    case WM_EXITMENULOOP:
        menuOpen = false;
        return 0;
    case WM_CONTEXTMENU:
        events->OnContextMenu();
        return 0;
    case WM_CLOSE:
        events->OnCloseBox();
        return 0;
    case WM_SYSCOMMAND: {
        const unsigned command = static_cast<unsigned>(wParam & 0xFFF0);
        if (command == kSysMinimize || command == kSysRestore) {
            events->OnSysCommand(command);
            return 0;
        }
        break;
    }
    case WM_QUERYENDSESSION:
        // Nothing is asked at log-off: the Monitor ends in order when WM_ENDSESSION comes.
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            events->OnEndSession();
        }
        return 0;
    default:
        if (message == TrayCallbackMessage()) {
            events->OnTrayNotify(static_cast<unsigned>(LOWORD(lParam)));
            return 0;
        }
        if (message == TaskbarCreatedMessage()) {
            events->OnTaskbarCreated();
            return 0;
        }
        if (message == OpenRequestMessage()) {
            events->OnOpenRequest();
            return 0;
        }
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool CFrameWindow::Impl::CreateLog() {
    if (::LoadLibraryW(L"msftedit.dll") == nullptr) {
        return false;
    }
    RECT client{};
    ::GetClientRect(window, &client);
    log = ::CreateWindowExW(WS_EX_STATICEDGE, MSFTEDIT_CLASS, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                            0, 0, client.right, client.bottom, window, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
    if (log == nullptr) {
        return false;
    }
    // Read-only for the user only; appending still changes the text. The selection stays
    // visible without the focus.
    ::SendMessageW(log, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
    ::SendMessageW(log, EM_SETOPTIONS, ECOOP_OR, ECO_NOHIDESEL);
    ::SendMessageW(log, EM_SETUNDOLIMIT, 0, 0);
    ::SendMessageW(log, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE |
                    CFM_STRIKEOUT | CFM_PROTECTED;
    format.yHeight = 160;
    format.crTextColor = 0;
    lstrcpynW(format.szFaceName, L"MS Sans Serif", LF_FACESIZE);
    ::SendMessageW(log, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    ::SendMessageW(log, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    background = ::GetSysColor(COLOR_WINDOW);
    return true;
}

bool CFrameWindow::Create(IFrameEvents& events, const std::string& title, int x, int y, int cx,
                          int cy,
                          const std::vector<std::pair<std::string, std::vector<MenuEntry>>>& menus,
                          unsigned clockId) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    m_impl->programIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    m_impl->trayIcon = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(kTrayIconResourceId), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Impl::Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = m_impl->programIcon;
    windowClass.hIconSm = m_impl->trayIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kFrameClass;
    ::RegisterClassExW(&windowClass);

    m_impl->bar = ::CreateMenu();
    for (const auto& [popupTitle, entries] : menus) {
        HMENU popup = ::CreatePopupMenu();
        for (const MenuEntry& entry : entries) {
            if (entry.text.empty()) {
                ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            } else {
                ::AppendMenuW(popup, MF_STRING | (entry.enabled ? 0 : MF_GRAYED), entry.id,
                              text::ToWide(entry.text).c_str());
            }
        }
        ::AppendMenuW(m_impl->bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                      text::ToWide(popupTitle).c_str());
    }
    // A plain item of the bar itself; choosing it does nothing.
    m_impl->clockId = clockId;
    ::AppendMenuW(m_impl->bar, MF_STRING, clockId, L"00:00:00");

    m_impl->events = &events;
    const HWND window =
        ::CreateWindowExW(0, kFrameClass, text::ToWide(title).c_str(), WS_OVERLAPPEDWINDOW, x, y,
                          cx, cy, nullptr, m_impl->bar, instance, m_impl);
    if (window == nullptr || !m_impl->CreateLog()) {
        Destroy();
        return false;
    }
    return true;
}

bool CFrameWindow::IsCreated() const {
    return m_impl->window != nullptr;
}

void CFrameWindow::Hide() {
    ::ShowWindow(m_impl->window, SW_HIDE);
}

void CFrameWindow::Show() {
    ::ShowWindow(m_impl->window, SW_SHOW);
}

void CFrameWindow::ShowMinimized() {
    ::ShowWindow(m_impl->window, SW_SHOWMINIMIZED);
}

void CFrameWindow::Minimize() {
    ::ShowWindow(m_impl->window, SW_MINIMIZE);
}

void CFrameWindow::Open() {
    ::ShowWindow(m_impl->window, ::IsIconic(m_impl->window) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(m_impl->window);
    ::SetFocus(m_impl->log);
    // A window that was hidden missed the log's scrolling.
    ::SendMessageW(m_impl->log, WM_VSCROLL, SB_BOTTOM, 0);
}

bool CFrameWindow::IsMinimized() const {
    return ::IsIconic(m_impl->window) != FALSE;
}

bool CFrameWindow::IsVisible() const {
    return ::IsWindowVisible(m_impl->window) != FALSE;
}

void CFrameWindow::Destroy() {
    RemoveTrayIcon();
    if (m_impl->window != nullptr) {
        m_impl->events = nullptr;
        ::DestroyWindow(m_impl->window);
        m_impl->window = nullptr;
        m_impl->log = nullptr;
    }
}

bool CFrameWindow::SetTimer(unsigned id, unsigned elapseMs) {
    return ::SetTimer(m_impl->window, id, elapseMs, nullptr) != 0;
}

bool CFrameWindow::KillTimer(unsigned id) {
    return ::KillTimer(m_impl->window, id) != FALSE;
}

void CFrameWindow::SetMenuState(unsigned id, bool enabled, bool checked) {
    ::EnableMenuItem(m_impl->bar, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(m_impl->bar, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool CFrameWindow::IsMenuOpen() const {
    return m_impl->menuOpen;
}

void CFrameWindow::SetClockText(const std::string& text) {
    ::ModifyMenuW(m_impl->bar, m_impl->clockId, MF_BYCOMMAND | MF_STRING, m_impl->clockId,
                  text::ToWide(text).c_str());
    ::DrawMenuBar(m_impl->window);
}

void CFrameWindow::AppendLog(const std::string& text, std::uint32_t color) {
    HWND log = m_impl->log;
    if (log == nullptr) {
        return;
    }
    // Positions are the selection's own units, in which a line end counts once: exactly the
    // inserted line takes the colour. The user's selection is dropped; the caret ends at the end.
    CHARRANGE range{-1, -1};
    ::SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    ::SendMessageW(log, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    const LONG start = range.cpMin;
    const std::wstring line = text::ToWide(text);
    ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageW(log, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    const LONG end = range.cpMax;
    range = {start, end};
    ::SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_UNDERLINE | CFM_BOLD;
    format.crTextColor = color;
    ::SendMessageW(log, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    range = {end, end};
    ::SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    // Hidden in the tray nobody sees the view; Open scrolls it to the end.
    if (::IsWindowVisible(m_impl->window)) {
        ::SendMessageW(log, WM_VSCROLL, SB_BOTTOM, 0);
    }
}

int CFrameWindow::LogLineCount() const {
    // The control counts the empty line after the last line end too.
    const auto lines = ::SendMessageW(m_impl->log, EM_GETLINECOUNT, 0, 0);
    return std::max(0, static_cast<int>(lines) - 1);
}

void CFrameWindow::RemoveFirstLogLines(int lines) {
    const auto end = ::SendMessageW(m_impl->log, EM_LINEINDEX, static_cast<WPARAM>(lines), 0);
    CHARRANGE range{0, static_cast<LONG>(end)};
    ::SendMessageW(m_impl->log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    ::SendMessageW(m_impl->log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    range = {-1, -1};
    ::SendMessageW(m_impl->log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CFrameWindow::ClearLog() {
    ::SetWindowTextW(m_impl->log, L"");
}

void CFrameWindow::CopyAllLog() {
    CHARRANGE range{0, -1};
    ::SendMessageW(m_impl->log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    ::SendMessageW(m_impl->log, WM_COPY, 0, 0);
    range = {-1, -1};
    ::SendMessageW(m_impl->log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CFrameWindow::CopyLogSelection() {
    ::SendMessageW(m_impl->log, WM_COPY, 0, 0);
}

void CFrameWindow::SetLogBackground(std::int64_t color) {
    m_impl->background = color < 0 ? ::GetSysColor(COLOR_WINDOW) : static_cast<COLORREF>(color);
    ::SendMessageW(m_impl->log, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(m_impl->background));
}

std::uint32_t CFrameWindow::LogBackground() const {
    return m_impl->background;
}

NOTIFYICONDATAW CFrameWindow::Impl::TrayData() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

bool CFrameWindow::AddTrayIcon(const std::string& tip) {
    NOTIFYICONDATAW data = m_impl->TrayData();
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = TrayCallbackMessage();
    data.hIcon = m_impl->trayIcon;
    CopyToField(data.szTip, tip);
    // A shell that announces itself anew while it still knows the icon refuses a second add:
    // the icon is there all the same, and must be taken away later.
    m_impl->trayAdded = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE ||
                        ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    return m_impl->trayAdded;
}

void CFrameWindow::RemoveTrayIcon() {
    if (!m_impl->trayAdded) {
        return;
    }
    NOTIFYICONDATAW data = m_impl->TrayData();
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    m_impl->trayAdded = false;
}

void CFrameWindow::ShowTrayBalloon(const std::string& title, const std::string& text) {
    if (!m_impl->trayAdded) {
        return;
    }
    NOTIFYICONDATAW data = m_impl->TrayData();
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    CopyToField(data.szInfoTitle, title);
    CopyToField(data.szInfo, text);
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

unsigned CFrameWindow::TrackTrayMenu(const std::vector<MenuEntry>& entries) {
    HMENU menu = ::CreatePopupMenu();
    for (const MenuEntry& entry : entries) {
        UINT flags = MF_STRING;
        flags |= entry.enabled ? MF_ENABLED : MF_GRAYED;
        flags |= entry.checked ? MF_CHECKED : MF_UNCHECKED;
        ::AppendMenuW(menu, flags, entry.id, text::ToWide(entry.text).c_str());
        if (entry.isDefault) {
            ::SetMenuDefaultItem(menu, entry.id, FALSE);
        }
    }
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // In the foreground the menu closes when the user clicks elsewhere.
    ::SetForegroundWindow(m_impl->window);
    const auto chosen = ::TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                         cursor.x, cursor.y, 0, m_impl->window, nullptr);
    ::PostMessageW(m_impl->window, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
    return static_cast<unsigned>(chosen);
}

int CFrameWindow::Run() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void CFrameWindow::Quit(int code) {
    ::PostQuitMessage(code);
}

void* CFrameWindow::Handle() const {
    return m_impl->window;
}

bool AskRunningMonitorToOpen() {
    const HWND window = ::FindWindowW(kFrameClass, nullptr);
    if (window == nullptr) {
        return false;
    }
    // The user just started this process, so it may hand the foreground on: without this the
    // running Monitor's window would only flash in the task bar.
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    ::AllowSetForegroundWindow(process);
    return ::PostMessageW(window, OpenRequestMessage(), 0, 0) != FALSE;
}

int ScreenWidth() {
    return ::GetSystemMetrics(SM_CXSCREEN);
}

int ScreenHeight() {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

std::string CommandLineAfterProgram() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::string line;
    for (int i = 1; i < count; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += text::FromWide(arguments[i]);
    }
    ::LocalFree(arguments);
    return line;
}

} // namespace gui
