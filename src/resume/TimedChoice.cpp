#include "resume/TimedChoice.h"

#include "platform/Clock.h"

#include <cstdint>

namespace {

std::string OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace

CTimedChoice::CTimedChoice(const char* lpszCaption, const char* lpszMessage, DWORD nTimeout,
                           int nDefaultButton, const char* lpszOkText, const char* lpszCancelText)
    : m_strCaption(OrEmpty(lpszCaption)), m_strMessage(OrEmpty(lpszMessage)),
      m_strOkText(OrEmpty(lpszOkText)), m_strCancelText(OrEmpty(lpszCancelText)),
      m_nDefaultButton(nDefaultButton), m_nTimeout(nTimeout),
      m_nSecondsLeft(static_cast<int>(nTimeout / 1000)) {}

void CTimedChoice::Start() {
    m_nSecondsLeft = static_cast<int>(m_nTimeout / 1000);
    m_dwStartTick = GetTickCount();
    m_bCounting = TRUE;
}

BOOL CTimedChoice::OnTimer(UINT nIDEvent, int& pressed) {
    pressed = 0;
    if (nIDEvent != kTimerId || !m_bCounting) {
        return FALSE;
    }
    const DWORD now = GetTickCount();
    // Signed, so that a tick count that wrapped past 2^32 still gives the true distance.
    const std::int64_t difference = static_cast<std::int32_t>(now - m_dwStartTick);
    const std::int64_t elapsed = difference < 0 ? -difference : difference;
    const std::int64_t timeout = m_nTimeout;
    const int remaining = elapsed >= timeout ? 0 : static_cast<int>((timeout - elapsed) / 1000);
    const BOOL changed = remaining != m_nSecondsLeft;
    m_nSecondsLeft = remaining;
    // The deadline is judged on the same wrap-safe distance rather than by comparing raw tick
    // counts, which would answer at once whenever start plus timeout passes 2^32.
    if (m_nSecondsLeft == 0 || elapsed >= timeout) {
        pressed = m_nDefaultButton == 1 ? IDOK : IDCANCEL;
        Stop();
    }
    return changed;
}

std::string CTimedChoice::GetCountdownText() const {
    const std::string& choice = m_nDefaultButton == 1 ? m_strOkText : m_strCancelText;
    return "Auto-selecting \"" + choice + "\" in " + std::to_string(m_nSecondsLeft) +
           " second(s) ...";
}
