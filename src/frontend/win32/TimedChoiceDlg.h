// The timed question on Win32: a line under the message counts the seconds down, in its own
// colour, and names the button pressed when they run out (the rules: CTimedChoice).
#pragma once

#include "frontend/win32/DialogWindow.h"
#include "resume/TimedChoice.h"

class CWin32TimedChoiceDlg : private gui::IDialogEvents {
public:
    // Button 1 is pressed when the time runs out if `nDefaultButton` is 1, else button 2.
    CWin32TimedChoiceDlg(const char* lpszCaption, const char* lpszMessage, DWORD nTimeout,
                         int nDefaultButton, const char* lpszOkText, const char* lpszCancelText)
        : m_choice(lpszCaption, lpszMessage, nTimeout, nDefaultButton, lpszOkText, lpszCancelText) {
    }

    // IDOK for button 1, by the user or the countdown; IDCANCEL for button 2, Escape or the
    // close box; IDNOANSWER when the Monitor ended under it.
    int DoModal();

private:
    void OnInitDialog() override;
    void OnCommand(int id, unsigned notification) override;
    void OnTimer(unsigned id) override;
    std::int64_t TextColor(int id) override;

    // Widens the dialog, up to the screen's width, until its title is whole.
    void FitTitle();

    // Both answers, the user's and the countdown's, end the countdown first.
    void Answer(int button);

    CTimedChoice m_choice;
    gui::CModalDialog m_dialog;
};
