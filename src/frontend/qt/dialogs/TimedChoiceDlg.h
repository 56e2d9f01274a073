// A two-button question that answers itself: a line under the message counts the seconds
// down and names the button that will be pressed when they run out (the rules: CTimedChoice).
#pragma once

#include "frontend/qt/dialogs/ColorStatic.h"
#include "platform/Types.h"
#include "resume/TimedChoice.h"

#include <QBasicTimer>
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

class CTimedChoiceDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the layout, also the controls' object names.
    static constexpr int IDC_MESSAGE = 1033;
    static constexpr int IDC_COUNTDOWN = 1197;
    static constexpr int IDC_ICON = 1032;

    // Button 1 is pressed when the time runs out if `nDefaultButton` is 1, else button 2.
    CTimedChoiceDlg(QWidget* pParent, const char* lpszCaption, const char* lpszMessage,
                    DWORD nTimeout, int nDefaultButton, const char* lpszOkText,
                    const char* lpszCancelText);
    ~CTimedChoiceDlg() override;

    // IDOK for button 1, by the user or the countdown; IDCANCEL for button 2, Escape or close;
    // IDNOANSWER when the event loop was ended under it, as when the program is ending.
    int DoModal();

    void OnTimer(UINT nIDEvent);
    void OnOK();
    void OnCancel();
    // Whether the countdown is still running.
    bool IsCounting() const { return m_timer.isActive(); }
    int GetSecondsLeft() const { return m_choice.GetSecondsLeft(); }

    // Every way of answering (buttons, Enter, Escape, the close box) ends here.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

    CTimedChoice m_choice;

    QPushButton* m_btnOk;
    QPushButton* m_btnCancel;
    QLabel* m_ctrlMessage;
    QLabel* m_ctrlIcon;
    CColorStatic m_wndCountdown;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    BOOL OnInitDialog();
    void UpdateCountdownText();
    // Widens the dialog, within the screen, until the title bar can show the whole caption.
    void FitTitle();
    // Places a control as the layout gives it, in dialog units of the dialog's font.
    void Place(QWidget* control, int x, int y, int cx, int cy) const;

    // Room in the title bar beside the caption (icon, buttons, margins), in lines of its font.
    static constexpr int kTitleBarRoomLines = 6;

    QWidget* m_pLine = nullptr;
    QBasicTimer m_timer;
    int m_nBaseX = 6;
    int m_nBaseY = 13;
};
