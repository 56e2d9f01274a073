// The "Schedule Transfer" dialog on Win32: date/time pickers, the count with its up-down arrows,
// the unit list and the switches, bound to a CScheduleTransferForm, which holds the rules.
#pragma once

#include "frontend/win32/DialogWindow.h"
#include "scheduler/ScheduleTransferForm.h"

class CWin32ScheduleTransferDialog : public IScheduleTransferDialog, private gui::IDialogEvents {
public:
    // `owner` is disabled while the dialog runs; none: the dialog stands on its own.
    explicit CWin32ScheduleTransferDialog(void* owner = nullptr) : m_owner(owner) {}

    int DoModal(CScheduleTransferForm& form) override;

private:
    void OnInitDialog() override;
    void OnCommand(int id, unsigned notification) override;

    void FitLongDates();
    void UpdatePeriodControls();
    void UpdateEndDateControls();
    void OnDateTimeChange();
    void OnOK();
    void OnClear();
    // The four pickers into the form (true) or the form into the pickers.
    void ExchangePickers(bool save);
    void SetPickerQuietly(int id, const CTime& time);

    void* m_owner;
    CScheduleTransferForm* m_form = nullptr;
    gui::CModalDialog m_dialog;
    bool m_bSettingPickers = false;
};
