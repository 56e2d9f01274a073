#include "frontend/win32/QueueTransfersDlg.h"

#include "frontend/win32/ScheduleTransferDlg.h"

using namespace gui::ids;

void CWin32QueueTransfersDlg::Run() {
    m_dialog.Run(gui::DialogLayout::QueueTransfers, *this);
}

void CWin32QueueTransfersDlg::OnInitDialog() {
    m_dialog.SetTitle(CQueueTransfersForm::kTitle);
    m_form.FillList();
}

void CWin32QueueTransfersDlg::OnCommand(int id, unsigned notification) {
    if (id == kQueueList && notification == gui::kListSelChange) {
        const bool selected = m_dialog.SelectedListIndex(kQueueList) >= 0;
        m_dialog.Enable(kEdit, selected);
        m_dialog.Enable(kRemove, selected);
        return;
    }
    switch (id) {
    case kEdit:
        m_form.OnEdit(SelectedName());
        break;
    case kRemove:
        m_form.OnRemove(SelectedName());
        break;
    case kOk:
    case kCancel:
        // Every change is stored as it is made: closing only closes.
        m_dialog.End(id);
        break;
    default:
        break;
    }
}

std::string CWin32QueueTransfersDlg::SelectedName() const {
    const int index = m_dialog.SelectedListIndex(kQueueList);
    return index >= 0 && static_cast<std::size_t>(index) < m_lines.size()
               ? m_lines[static_cast<std::size_t>(index)]
               : std::string();
}

void CWin32QueueTransfersDlg::ShowLines(const std::vector<std::string>& lines) {
    // Emptying the list is not the user's selection change: Edit and Remove keep their state.
    m_lines = lines;
    m_dialog.SetListLines(kQueueList, m_lines);
}

BOOL CWin32QueueTransfersDlg::Confirm(const std::string& text, const char* caption) {
    return m_dialog.Confirm(text, caption) ? TRUE : FALSE;
}

void CWin32QueueTransfersDlg::Warn(const std::string& text, const char* caption) {
    m_dialog.Warn(text, caption);
}

int CWin32QueueTransfersDlg::DoModal(CScheduleTransferForm& form) {
    // Owned by this dialog, which waits for it.
    CWin32ScheduleTransferDialog schedule(m_dialog.Handle());
    return schedule.DoModal(form);
}
