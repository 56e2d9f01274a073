// The timed question's rules, without a toolkit: the seconds a line under the message counts
// down, the text of that line, and when the default button is pressed for the user. Each front
// end shows the texts, runs a window timer of kTickMs with id kTimerId, and passes its ticks
// to OnTimer; both answers, the user's and the countdown's, end the countdown through Stop.
#pragma once

#include "platform/Types.h"

#include <string>

class CTimedChoice {
public:
    static constexpr UINT kTimerId = 1;
    static constexpr UINT kTickMs = 100;
    // The countdown line's text colour, a dark blue, whatever the system's text colour.
    static constexpr COLORREF kCountdownColor = 0xB40000;

    // Button 1 is pressed when the time runs out if `nDefaultButton` is 1, else button 2.
    CTimedChoice(const char* lpszCaption, const char* lpszMessage, DWORD nTimeout,
                 int nDefaultButton, const char* lpszOkText, const char* lpszCancelText);

    // The countdown starts at the current tick with the whole seconds of the timeout.
    void Start();
    // One tick of the window timer: FALSE when the countdown line did not change. Sets
    // `pressed` to IDOK or IDCANCEL when the default button is to be pressed now, else to 0.
    BOOL OnTimer(UINT nIDEvent, int& pressed);
    // The user or the countdown answered: later ticks press nothing.
    void Stop() { m_bCounting = FALSE; }
    BOOL IsCounting() const { return m_bCounting; }

    // "Auto-selecting "<default button's text>" in <seconds> second(s) ..."
    std::string GetCountdownText() const;
    int GetSecondsLeft() const { return m_nSecondsLeft; }

    const std::string m_strCaption;
    const std::string m_strMessage;
    const std::string m_strOkText;
    const std::string m_strCancelText;
    const int m_nDefaultButton;
    const DWORD m_nTimeout;

private:
    DWORD m_dwStartTick = 0;
    int m_nSecondsLeft = 0;
    BOOL m_bCounting = FALSE;
};
