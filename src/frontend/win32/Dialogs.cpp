// The Monitor's questions as Win32 dialogs: message boxes and the timed question, whose
// template is built in memory.
#include "frontend/win32/Gui.h"
#include "platform/Text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <set>

namespace gui {

namespace {

// The open timed questions, and whether the Monitor is ending under them.
std::set<HWND> g_questions;
int g_openBoxes = 0;
bool g_ending = false;

// A dialog template in memory: the header, then the items, each on a DWORD boundary.
class CDialogTemplate {
public:
    CDialogTemplate(DWORD style, short cx, short cy, const wchar_t* font, WORD points) {
        Dword(style | DS_SETFONT);
        Dword(0);
        m_countAt = m_words.size();
        m_words.push_back(0);
        Words({0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy)});
        Words({0, 0}); // no menu, the dialog class
        Text(L"");
        m_words.push_back(points);
        Text(font);
    }

    // `atom`: 0x80 button, 0x82 static.
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const wchar_t* text) {
        if (m_words.size() % 2 != 0) {
            m_words.push_back(0);
        }
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Words({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
               static_cast<WORD>(cy), id, 0xFFFF, atom});
        Text(text);
        m_words.push_back(0); // no creation data
        ++m_words[m_countAt];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    // One word at a time: a vector insert of a list trips a false overflow warning of GCC 12.
    void Words(std::initializer_list<WORD> words) {
        for (const WORD word : words) {
            m_words.push_back(word);
        }
    }
    void Dword(DWORD value) {
        m_words.push_back(LOWORD(value));
        m_words.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        do {
            m_words.push_back(static_cast<WORD>(*text));
        } while (*text++ != L'\0');
    }

    std::vector<WORD> m_words;
    std::size_t m_countAt = 0;
};

constexpr int kMessageId = 1033;
constexpr int kCountdownId = 1197;
constexpr int kIconId = 1032;
constexpr UINT_PTR kCountdownTimer = 1;
constexpr UINT kTickMs = 100;
constexpr COLORREF kCountdownColor = 0xB40000;

struct TimedQuestion {
    std::wstring caption;
    std::wstring message;
    std::wstring okText;
    std::wstring cancelText;
    std::uint32_t timeoutMs;
    int defaultButton;
    DWORD startTick = 0;
    int secondsLeft = -1;
};

void ShowCountdown(HWND dialog, TimedQuestion& question, int secondsLeft) {
    if (secondsLeft == question.secondsLeft) {
        return;
    }
    question.secondsLeft = secondsLeft;
    const std::wstring& choice =
        question.defaultButton == 1 ? question.okText : question.cancelText;
    const std::wstring line = L"Auto-selecting \"" + choice + L"\" in " +
                              std::to_wstring(secondsLeft) + L" second(s) ...";
    ::SetDlgItemTextW(dialog, kCountdownId, line.c_str());
}

INT_PTR CALLBACK TimedQuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* question = reinterpret_cast<TimedQuestion*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        question = reinterpret_cast<TimedQuestion*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        g_questions.insert(dialog);
        ::SetWindowTextW(dialog, question->caption.c_str());
        ::SetDlgItemTextW(dialog, kMessageId, question->message.c_str());
        ::SetDlgItemTextW(dialog, IDOK, question->okText.c_str());
        ::SetDlgItemTextW(dialog, IDCANCEL, question->cancelText.c_str());
        ::SendDlgItemMessageW(dialog, kIconId, STM_SETICON,
                              reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_QUESTION)), 0);
        ShowCountdown(dialog, *question, static_cast<int>(question->timeoutMs / 1000));
        question->startTick = ::GetTickCount();
        ::SetTimer(dialog, kCountdownTimer, kTickMs, nullptr);
        // Asked while the main window hides in the tray: it comes to the front itself.
        ::SetForegroundWindow(dialog);
        return TRUE;
    }
    case WM_TIMER: {
        if (wParam != kCountdownTimer) {
            break;
        }
        // Unsigned distance: right across the tick count's wrap at 2^32.
        const std::uint32_t elapsed = ::GetTickCount() - question->startTick;
        const std::uint32_t left =
            elapsed >= question->timeoutMs ? 0 : question->timeoutMs - elapsed;
        ShowCountdown(dialog, *question, static_cast<int>(left / 1000));
        if (left / 1000 == 0) {
            ::KillTimer(dialog, kCountdownTimer);
            ::EndDialog(dialog, question->defaultButton == 1 ? IDOK : IDCANCEL);
        }
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kCountdownId) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kCountdownColor);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_COMMAND:
        // Buttons, Enter, Escape and the close box all come here as IDOK or IDCANCEL.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::KillTimer(dialog, kCountdownTimer);
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        g_questions.erase(dialog);
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

int QuestionBox(void* owner, const std::string& message, const std::string& caption, bool yesNo) {
    ++g_openBoxes;
    const UINT type = (yesNo ? MB_YESNO : MB_OKCANCEL) | MB_ICONQUESTION |
                      (owner == nullptr ? MB_SETFOREGROUND : 0);
    const int answer = ::MessageBoxW(static_cast<HWND>(owner), text::ToWide(message).c_str(),
                                     text::ToWide(caption).c_str(), type);
    --g_openBoxes;
    if (g_ending) {
        return 0;
    }
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

int TimedChoice(const std::string& caption, const std::string& message, std::uint32_t timeoutMs,
                int defaultButton, const std::string& okText, const std::string& cancelText) {
    TimedQuestion question{text::ToWide(caption),
                           text::ToWide(message),
                           text::ToWide(okText),
                           text::ToWide(cancelText),
                           timeoutMs,
                           defaultButton};
    CDialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 168, 83,
                           L"MS Shell Dlg", 8);
    layout.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, 58, 66, 50, 14, IDOK, 0x80, L"OK");
    layout.Item(WS_TABSTOP | BS_PUSHBUTTON, 114, 66, 50, 14, IDCANCEL, 0x80, L"Cancel");
    layout.Item(SS_LEFT | SS_NOPREFIX, 32, 12, 132, 34, kMessageId, 0x82, L"");
    layout.Item(SS_CENTER | SS_NOPREFIX, 4, 50, 160, 8, kCountdownId, 0x82, L"");
    layout.Item(SS_ETCHEDHORZ, 0, 62, 167, 1, 0xFFFF, 0x82, L"");
    layout.Item(SS_ICON, 6, 10, 20, 20, kIconId, 0x82, L"");
    const INT_PTR answer =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), layout.Get(), nullptr,
                                  &TimedQuestionProc, reinterpret_cast<LPARAM>(&question));
    if (g_ending) {
        return 0;
    }
    return answer == IDOK || answer == IDCANCEL ? static_cast<int>(answer) : 0;
}

bool IsAsking() {
    return !g_questions.empty() || g_openBoxes > 0;
}

void EndQuestions() {
    g_ending = true;
    for (HWND dialog : std::set<HWND>(g_questions)) {
        ::EndDialog(dialog, 0);
    }
}

} // namespace gui
