#include "frontend/win32/ScheduleTransferDlg.h"

#include "platform/Time.h"
#include "platform/WinApp.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace {

using namespace gui::ids;

// The pickers carry the local calendar fields of the C library's breakdown.
gui::DateTime ToPicker(const CTime& time) {
    std::tm tm{};
    if (!time.GetLocalTm(&tm)) {
        return {};
    }
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
            tm.tm_hour,        tm.tm_min,     std::min(tm.tm_sec, 59)};
}

CTime FromPicker(const gui::DateTime& value) {
    return CTime(value.year, value.month, value.day, value.hour, value.minute, value.second);
}

// The days a date picker offers: every time of day on them fits the 32-bit time range.
gui::DateTime DayEdge(std::int32_t time, int hour, int minute, int second) {
    gui::DateTime day = ToPicker(CTime(time));
    day.hour = hour;
    day.minute = minute;
    day.second = second;
    return day;
}

} // namespace

int CWin32ScheduleTransferDialog::DoModal(CScheduleTransferForm& form) {
    m_form = &form;
    const int result = m_dialog.Run(gui::DialogLayout::ScheduleTransfer, *this, m_owner);
    m_form = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

void CWin32ScheduleTransferDialog::OnInitDialog() {
    FitLongDates();
    // An end date opens the schedule as a repeating one.
    m_form->SetEndDate(m_form->m_bEndDate);
    for (const int id : {kStartDate, kEndDate}) {
        m_dialog.SetPickerRange(
            id, DayEdge(static_cast<std::int32_t>(CTime::kMin + 86400), 0, 0, 0),
            DayEdge(static_cast<std::int32_t>(CTime::kMax - 86400), 23, 59, 59));
    }
    m_dialog.SetText(kCount, std::to_string(m_form->m_nCount));
    ExchangePickers(false);
    m_dialog.Check(kDisable, m_form->m_bDisabled != 0);

    m_dialog.Check(m_form->m_bOnce ? kOnce : kEvery, true);
    m_dialog.SetPickerFormat(kStartTime, "HH:mm");
    m_dialog.SetPickerFormat(kEndTime, "HH:mm");
    m_dialog.SetUpDown(
        kCountSpin, CScheduleTransferForm::kCountMin, CScheduleTransferForm::kCountMax,
        static_cast<int>(std::min<DWORD>(m_form->m_nCount, CScheduleTransferForm::kCountMax)));
    for (const auto& unit : CScheduleTransferForm::kUnits) {
        m_dialog.AddComboItem(kUnit, unit.text, unit.code);
    }
    m_dialog.SelectComboData(kUnit, m_form->m_nUnit);
    m_dialog.Check(kCheckEndDate, m_form->m_bEndDate != 0);
    m_dialog.Enable(kClear, m_form->IsClearEnabled() != 0);
    UpdateEndDateControls();
}

void CWin32ScheduleTransferDialog::FitLongDates() {
    // Where the font or the locale's day and month names need wider date pickers than the
    // layout's, the controls on their right move along and the dialog grows.
    // Measured on every weekday of every month with a two-digit day: the widest text of the year.
    int grow = 0;
    const int year = ToPicker(CTime::GetCurrentTime()).year;
    m_bSettingPickers = true;
    for (int month = 1; month <= 12; ++month) {
        for (int day = 22; day <= 28; ++day) {
            m_dialog.SetPicker(kStartDate, {year, month, day});
            grow = std::max(grow, m_dialog.MissingWidth(kStartDate));
        }
    }
    m_bSettingPickers = false;
    if (grow == 0) {
        return;
    }
    for (const int id : {kStartDate, kEndDate, kSeparator}) {
        m_dialog.MoveRight(id, 0, grow);
    }
    for (const int id : {kStartTime, kEndTime, kCount, kCountSpin, kUnit, kCancel}) {
        m_dialog.MoveRight(id, grow, 0);
    }
    m_dialog.MoveRight(kClear, grow / 2, 0);
    m_dialog.MoveRight(0, -grow / 2, grow);
}

void CWin32ScheduleTransferDialog::OnCommand(int id, unsigned notification) {
    if (notification == gui::kDateTimeChange) {
        OnDateTimeChange();
        return;
    }
    switch (id) {
    case kOnce:
    case kEvery:
        UpdatePeriodControls();
        break;
    case kCheckEndDate:
        UpdateEndDateControls();
        break;
    case kClear:
        OnClear();
        break;
    case kOk:
        OnOK();
        break;
    case kCancel:
        m_dialog.End(IDCANCEL);
        break;
    default:
        break;
    }
}

void CWin32ScheduleTransferDialog::UpdatePeriodControls() {
    m_form->SetOnce(m_dialog.IsChecked(kOnce) ? TRUE : FALSE);
    const bool period = m_form->IsPeriodEnabled() != 0;
    // The arrows belong to the count; stepping a count nobody can edit would be confusing.
    for (const int id : {kCount, kUnit, kCountSpin}) {
        m_dialog.Enable(id, period);
    }
}

void CWin32ScheduleTransferDialog::UpdateEndDateControls() {
    m_form->SetEndDate(m_dialog.IsChecked(kCheckEndDate) ? TRUE : FALSE);
    m_dialog.Enable(kEndDate, m_form->IsEndEnabled() != 0);
    m_dialog.Enable(kEndTime, m_form->IsEndEnabled() != 0);
    if (!m_form->m_bOnce) {
        m_dialog.Check(kOnce, false);
        m_dialog.Check(kEvery, true);
    }
    m_dialog.Enable(kOnce, m_form->IsOnceEnabled() != 0);
    UpdatePeriodControls();
}

void CWin32ScheduleTransferDialog::ExchangePickers(bool save) {
    struct Pair {
        int id;
        CTime* value;
    };
    const Pair pairs[] = {{kEndTime, &m_form->m_timeEndTime},
                          {kEndDate, &m_form->m_timeEndDate},
                          {kStartDate, &m_form->m_timeStartDate},
                          {kStartTime, &m_form->m_timeStartTime}};
    for (const Pair& pair : pairs) {
        if (save) {
            *pair.value = FromPicker(m_dialog.Picker(pair.id));
        } else {
            SetPickerQuietly(pair.id, *pair.value);
        }
    }
}

void CWin32ScheduleTransferDialog::SetPickerQuietly(int id, const CTime& time) {
    // Only the user's own changes are date-time changes.
    m_bSettingPickers = true;
    m_dialog.SetPicker(id, ToPicker(time));
    m_bSettingPickers = false;
}

void CWin32ScheduleTransferDialog::OnDateTimeChange() {
    if (m_bSettingPickers) {
        return;
    }
    // Only the pickers are read: a count being typed must neither be validated nor reset
    // because a date changed.
    ExchangePickers(true);
    if (m_form->OnDateTimeChange()) {
        SetPickerQuietly(kEndDate, m_form->m_timeEndDate);
        SetPickerQuietly(kEndTime, m_form->m_timeEndTime);
    }
}

void CWin32ScheduleTransferDialog::OnOK() {
    m_form->SetEndDate(m_dialog.IsChecked(kCheckEndDate) ? TRUE : FALSE);
    m_form->SetOnce(m_dialog.IsChecked(kOnce) ? TRUE : FALSE);
    ExchangePickers(true);
    m_form->m_bDisabled = m_dialog.IsChecked(kDisable) ? 1 : 0;
    switch (m_form->OnOK(m_dialog.Text(kCount), m_dialog.SelectedComboData(kUnit))) {
    case CScheduleTransferForm::Refusal::Count: {
        // Titled as the framework titles its messages: with the program's name.
        const CWinApp* app = AfxGetApp();
        m_dialog.Warn(CScheduleTransferForm::kCountRefused,
                      app != nullptr ? app->m_pszAppName : "");
        m_dialog.Focus(kCount);
        return;
    }
    case CScheduleTransferForm::Refusal::Unit:
        m_dialog.ShowComboDropDown(kUnit);
        return;
    case CScheduleTransferForm::Refusal::None:
        break;
    }
    m_dialog.End(IDOK);
}

void CWin32ScheduleTransferDialog::OnClear() {
    if (!m_dialog.Confirm(CScheduleTransferForm::kClearText,
                          CScheduleTransferForm::kClearCaption)) {
        return;
    }
    // Nothing else is copied back after Clear, so nothing else is read or validated.
    m_form->OnClear();
    m_dialog.End(IDOK);
}
