// The "Schedule Transfer" dialog's values and rules, without a toolkit: which controls are
// enabled, what the switches do to each other, an end that may not lie before the start, the
// count and unit a repeating schedule needs, and the copy between a schedule and the fields.
// Each front end shows the fields, tells the form of the user's changes and asks it what to
// enable; CSchedule::Edit runs a front end's dialog over a form.
#pragma once

#include "platform/Time.h"
#include "platform/Types.h"
#include "scheduler/Schedule.h"

#include <string>

class CScheduleTransferForm {
public:
    // The range of the count's arrows; a number typed by hand is taken as typed.
    static constexpr int kCountMin = 1;
    static constexpr int kCountMax = 32767;
    // Told, with the program's name as caption, when a repeating schedule's count is refused.
    static constexpr const char* kCountRefused = "Please enter a positive integer.";
    // The question of Clear (OK/Cancel, question icon).
    static constexpr const char* kClearText = "Remove from Scheduled Transfers List?";
    static constexpr const char* kClearCaption = "Scheduled Transfers";

    // The unit list, in this order and never sorted, each name carrying its unit code.
    struct UnitName {
        const char* text;
        int code;
    };
    static constexpr UnitName kUnits[] = {
        {"Minutes", PeriodUnit::Minutes}, {"Hours", PeriodUnit::Hours},
        {"Days", PeriodUnit::Days},       {"Weeks", PeriodUnit::Weeks},
        {"Months", PeriodUnit::Months},
    };
    // The selected unit when none is (a list box's CB_ERR).
    static constexpr int kNoUnit = -1;

    // The schedule into the fields (the start and end into both their date and time fields);
    // Clear is offered only for a schedule loaded from the store.
    void LoadFrom(const CSchedule& schedule);
    // The confirmed fields back into the schedule, each day with its time and 0 seconds, and
    // its anchor; after Clear only the schedule's cleared mark.
    void SaveTo(CSchedule& schedule) const;

    // The user chose "Transfer once" (TRUE) or "Transfer every:" (FALSE).
    void SetOnce(BOOL bOnce) { m_bOnce = bOnce; }
    // The user switched "End Date:"; an end date goes with a repeating schedule only. A front
    // end also calls it with the loaded value when the dialog opens.
    void SetEndDate(BOOL bEndDate);

    BOOL IsOnceEnabled() const { return !m_bEndDate; }
    // The count, its arrows and the unit.
    BOOL IsPeriodEnabled() const { return !m_bOnce; }
    BOOL IsEndEnabled() const { return m_bEndDate; }
    BOOL IsClearEnabled() const { return m_bCanClear; }

    // A picker changed and its value is in the fields: TRUE when the end lay before the start
    // and was moved to it, so that the end pickers must show the fields again.
    BOOL OnDateTimeChange();

    enum class Refusal {
        None,  // accepted: the dialog ends with IDOK
        Count, // tell kCountRefused, put the focus on the count
        Unit,  // a repeating schedule without a unit: offer the units
    };
    // OK with the count's text and the selected unit (kNoUnit for none); the pickers and
    // "Disable" are already in the fields. A single transfer keeps the count and unit it had
    // when they cannot be read: they were not the user's to change.
    Refusal OnOK(const std::string& countText, int nSelectedUnit);
    // Clear was confirmed: nothing else is read or copied back.
    void OnClear() { m_bCleared = 1; }

    // The start or end from a date field's day and a time field's hour and minute.
    static CTime CombineDateAndTime(const CTime& date, const CTime& time);

    CTime m_timeStartDate;
    CTime m_timeStartTime;
    CTime m_timeEndDate;
    CTime m_timeEndTime;
    BOOL m_bOnce = 1;
    BOOL m_bEndDate = 0;
    BOOL m_bDisabled = 0;
    BOOL m_bCleared = 0;
    BOOL m_bCanClear = 0;
    DWORD m_nCount = 0;
    int m_nUnit = 0;
};

// What a front end runs the form in: the dialog, modally; IDOK when it was confirmed or
// cleared, IDCANCEL otherwise (the form then counts for nothing).
class IScheduleTransferDialog {
public:
    virtual ~IScheduleTransferDialog() = default;
    virtual int DoModal(CScheduleTransferForm& form) = 0;
};
