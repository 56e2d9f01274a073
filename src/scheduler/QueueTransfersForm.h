// The "Queue Transfers" dialog's rules, without a toolkit: the list's lines (one queue file
// path each, sorted as a list box sorts, ignoring case), and what Edit and Remove do to the
// store. Lines carry only the path; each action looks the path up again in the store, because
// the scheduler may rewrite or delete entries while the dialog is open. Edit and Remove are
// enabled exactly when a line is selected, and refilling the list leaves them as they are.
#pragma once

#include "platform/Types.h"
#include "scheduler/QueueScheduleDB.h"
#include "scheduler/ScheduleTransferForm.h"

#include <string>
#include <vector>

// What the rules need of a front end's dialog; it also runs the Schedule Transfer dialog.
class IQueueTransfersView : public IScheduleTransferDialog {
public:
    // Replaces the list's lines with these, in this order; no line is selected afterwards.
    virtual void ShowLines(const std::vector<std::string>& lines) = 0;
    // An OK/Cancel question with the question icon, owned by the dialog: TRUE for OK.
    virtual BOOL Confirm(const std::string& text, const char* caption) = 0;
    // A warning with an OK button, owned by the dialog.
    virtual void Warn(const std::string& text, const char* caption) = 0;
};

class CQueueTransfersForm {
public:
    static constexpr const char* kTitle = "Queue Transfers";
    static constexpr const char* kRemoveCaption = "Remove";
    static constexpr const char* kNotSavedCaption = "Quorvel PRO Monitor";

    explicit CQueueTransfersForm(IQueueTransfersView& view) : m_view(view) {}

    // Purges entries that became invalid and shows every readable one.
    void FillList();
    // The line's schedule through the Schedule Transfer dialog: rewritten, deleted (Clear) or
    // left as it is (Cancel, or nothing changed). Nothing for an empty `selected`.
    void OnEdit(const std::string& selected);
    // Asks, then deletes the line's entry. Nothing for an empty `selected` or a line whose
    // entry is gone.
    void OnRemove(const std::string& selected);

    // "Remove:\n<path>\nfrom Queue Transfer Scheduler ?"
    static std::string RemoveQuestion(const std::string& name);
    // The lines in the list's order: ignoring case, equal ones in the order given.
    static void SortLines(std::vector<std::string>& lines);

private:
    // Tells the user of a change the store refused; refreshes the list when the entry changed
    // under the dialog.
    void Save(CQueueScheduleDB::Change change);

    IQueueTransfersView& m_view;
};
