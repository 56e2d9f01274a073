// The Win32 front end's windows as the rest of the Monitor reaches them. Only plain types cross
// this line: <windows.h> defines DWORD, HWND, MessageBox and the dialog results differently
// from the Monitor's own headers, so it is included behind it alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

// What the main window reports to the front end.
class IFrameEvents {
public:
    virtual ~IFrameEvents() = default;
    virtual void OnCommand(unsigned id) = 0;
    virtual void OnTimer(unsigned id) = 0;
    // The main menu is about to open.
    virtual void OnInitMenu() = 0;
    // The tray icon's callback: the mouse message in its low 16 bits.
    virtual void OnTrayNotify(unsigned mouseMessage) = 0;
    // A right click in the window, or a tray click routed as one.
    virtual void OnContextMenu() = 0;
    // The close box, Alt+F4 or the system menu's Close.
    virtual void OnCloseBox() = 0;
    // SC_MINIMIZE or SC_RESTORE, before the window carries it out.
    virtual void OnSysCommand(unsigned command) = 0;
    // The notification area was created anew (explorer restarted, a tray host came up).
    virtual void OnTaskbarCreated() = 0;
    // Another start of the Monitor asks for its window.
    virtual void OnOpenRequest() = 0;
    // Log-off or shut-down goes ahead: end in order before returning.
    virtual void OnEndSession() = 0;
};

struct MenuEntry {
    std::string text; // UTF-8; empty: a separator
    unsigned id = 0;
    bool enabled = true;
    bool checked = false;
    bool isDefault = false;
};

constexpr unsigned kSysMinimize = 0xF020;
constexpr unsigned kSysRestore = 0xF120;

// The main window: a menu bar with a clock item, the rich edit log as its client area, window
// timers, and the notification-area icon with its callback message "NIconMessage".
class CFrameWindow {
public:
    CFrameWindow();
    ~CFrameWindow();
    CFrameWindow(const CFrameWindow&) = delete;
    CFrameWindow& operator=(const CFrameWindow&) = delete;

    // Creates the window hidden, with the menu bar (the popups of `menus`, each a title and its
    // entries) and the log. False when the window or the rich edit control cannot be made.
    bool Create(IFrameEvents& events, const std::string& title, int x, int y, int cx, int cy,
                const std::vector<std::pair<std::string, std::vector<MenuEntry>>>& menus,
                unsigned clockId);
    bool IsCreated() const;

    void Hide();
    void Show();
    void ShowMinimized();
    // Restores, raises and activates the window and puts the focus in the log.
    void Open();
    void Minimize();
    bool IsMinimized() const;
    bool IsVisible() const;
    void Destroy();

    bool SetTimer(unsigned id, unsigned elapseMs);
    bool KillTimer(unsigned id);

    void SetMenuState(unsigned id, bool enabled, bool checked);
    // Whether a menu of the bar is open (the clock then waits).
    bool IsMenuOpen() const;
    void SetClockText(const std::string& text);

    // The log. Colours are 0x00BBGGRR.
    void AppendLog(const std::string& text, std::uint32_t color);
    int LogLineCount() const;
    void RemoveFirstLogLines(int lines);
    void ClearLog();
    void CopyAllLog();
    void CopyLogSelection();
    // The log's background, or the system's window colour for a negative value.
    void SetLogBackground(std::int64_t color);
    std::uint32_t LogBackground() const;

    bool AddTrayIcon(const std::string& tip);
    void RemoveTrayIcon();
    // A warning balloon from the icon.
    void ShowTrayBalloon(const std::string& title, const std::string& text);
    // Shows the menu at the cursor; the chosen id, 0 for none.
    unsigned TrackTrayMenu(const std::vector<MenuEntry>& entries);

    // Runs the message loop until Quit; its exit code.
    int Run();
    void Quit(int code);
    // The window, as a handle for owners of dialogs.
    void* Handle() const;

    struct Impl;

private:
    Impl* m_impl;
};

// The window class of the main window, by which another start finds it.
constexpr const wchar_t* kFrameClass = L"QuorvelProMonitorFrame";
// Asks the main window of a running Monitor to open; true when one was found.
bool AskRunningMonitorToOpen();

int ScreenWidth();
int ScreenHeight();
// The command line after the program's name, as UTF-8.
std::string CommandLineAfterProgram();

// A message box without owner: 1 (OK), 2 (Cancel), 6 (Yes), 7 (No), or 0 when nothing was
// chosen (Escape or the close box of a Yes/No box, or the Monitor ending under it).
int QuestionBox(void* owner, const std::string& message, const std::string& caption, bool yesNo);
// Whether a modal question of the Monitor is open.
bool IsAsking();
// Ends every open question without an answer (the Monitor is ending).
void EndQuestions();

} // namespace gui
