#include "frontend/win32/TimedChoiceDlg.h"

using namespace gui::ids;

int CWin32TimedChoiceDlg::DoModal() {
    const int answer = m_dialog.Run(gui::DialogLayout::TimedChoice, *this);
    return answer == IDOK || answer == IDCANCEL ? answer : IDNOANSWER;
}

void CWin32TimedChoiceDlg::OnInitDialog() {
    m_dialog.SetTitle(m_choice.m_strCaption);
    FitTitle();
    m_dialog.ShowQuestionIcon(kIcon);
    m_dialog.SetText(kMessage, m_choice.m_strMessage);
    m_dialog.SetText(kOk, m_choice.m_strOkText);
    m_dialog.SetText(kCancel, m_choice.m_strCancelText);
    m_dialog.SetText(kCountdown, m_choice.GetCountdownText());
    m_choice.Start();
    m_dialog.SetTimer(CTimedChoice::kTimerId, CTimedChoice::kTickMs);
    m_dialog.BringToFront();
}

void CWin32TimedChoiceDlg::FitTitle() {
    // The caption names whose transfers these are; cut short, the question would not say.
    const int extra = m_dialog.MissingTitleWidth();
    if (extra <= 0) {
        return;
    }
    // Wider, the buttons keep to the right edge, the lines across span the new width, and the
    // dialog stays centred.
    m_dialog.MoveRight(0, -extra / 2, extra);
    for (const int id : {kOk, kCancel}) {
        m_dialog.MoveRight(id, extra, 0);
    }
    for (const int id : {kMessage, kCountdown, kSeparator}) {
        m_dialog.MoveRight(id, 0, extra);
    }
}

void CWin32TimedChoiceDlg::OnTimer(unsigned id) {
    int pressed = 0;
    if (m_choice.OnTimer(id, pressed)) {
        m_dialog.SetText(kCountdown, m_choice.GetCountdownText());
    }
    if (pressed != 0) {
        Answer(pressed);
    }
}

void CWin32TimedChoiceDlg::OnCommand(int id, unsigned /*notification*/) {
    // Buttons, Enter, Escape and the close box all come here as IDOK or IDCANCEL.
    if (id == kOk || id == kCancel) {
        Answer(id);
    }
}

std::int64_t CWin32TimedChoiceDlg::TextColor(int id) {
    return id == kCountdown ? static_cast<std::int64_t>(CTimedChoice::kCountdownColor) : -1;
}

void CWin32TimedChoiceDlg::Answer(int button) {
    m_choice.Stop();
    m_dialog.KillTimer(CTimedChoice::kTimerId);
    m_dialog.End(button);
}
