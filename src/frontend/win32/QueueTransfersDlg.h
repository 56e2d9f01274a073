// The "Queue Transfers" dialog on Win32: every scheduled queue as one line holding its path,
// with Edit and Remove, bound to a CQueueTransfersForm, which holds the rules.
#pragma once

#include "frontend/win32/DialogWindow.h"
#include "scheduler/QueueTransfersForm.h"

#include <string>
#include <vector>

class CWin32QueueTransfersDlg : private IQueueTransfersView, private gui::IDialogEvents {
public:
    // Runs the dialog, without owner, until OK, Escape or its close box.
    void Run();

private:
    // IQueueTransfersView
    void ShowLines(const std::vector<std::string>& lines) override;
    BOOL Confirm(const std::string& text, const char* caption) override;
    void Warn(const std::string& text, const char* caption) override;
    int DoModal(CScheduleTransferForm& form) override;

    // gui::IDialogEvents
    void OnInitDialog() override;
    void OnCommand(int id, unsigned notification) override;

    // The selected line's path, empty when no line is selected.
    std::string SelectedName() const;

    // The lines as shown: the list's index of a line is its index here, and the path is kept
    // byte for byte, whatever the list makes of text that is not UTF-8.
    std::vector<std::string> m_lines;
    CQueueTransfersForm m_form{*this};
    gui::CModalDialog m_dialog;
};
