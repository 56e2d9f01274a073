#include "scheduler/QueueTransfersForm.h"

#include "platform/Text.h"
#include "platform/registry/Registry.h"
#include "scheduler/Schedule.h"

#include <algorithm>
#include <memory>

void CQueueTransfersForm::SortLines(std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(lines.size());
    for (std::string& line : lines) {
        keyed.emplace_back(text::FoldName(line), std::move(line));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = std::move(keyed[i].second);
    }
}

void CQueueTransfersForm::FillList() {
    std::vector<std::string> lines;
    CQueueScheduleDB db;
    db.PurgeInvalid();
    std::unique_ptr<CUIntArray> ids = db.GetIdList();
    if (ids) {
        for (auto it = ids->rbegin(); it != ids->rend(); ++it) {
            std::string name;
            if (db.Read(static_cast<int>(*it), name)) {
                lines.push_back(std::move(name));
            }
        }
        CQueueScheduleDB::FreeIdList(std::move(ids));
    }
    SortLines(lines);
    m_view.ShowLines(lines);
}

void CQueueTransfersForm::OnEdit(const std::string& selected) {
    if (selected.empty()) {
        return;
    }
    std::string name = selected;
    CQueueScheduleDB db;
    const int id = db.FindIdByName(name.c_str());
    if (id < 1) {
        FillList();
        return;
    }
    std::unique_ptr<SCHEDULEDATA> record = db.Read(id, name);
    if (!record) {
        FillList();
        return;
    }
    CSchedule schedule;
    schedule.LoadFromRecord(record.get());

    if (!schedule.Edit(m_view)) {
        return;
    }
    std::unique_ptr<SCHEDULEDATA> edited;
    if (!schedule.IsCleared()) {
        edited = schedule.CreateRecord();
        if (edited == nullptr || edited->ToBytes() == record->ToBytes()) {
            return; // nothing changed: whatever the scheduler stored meanwhile stands
        }
    }
    // The scheduler keeps running while the schedule is edited: act only on the entry that
    // was opened, never on one that took its place, and count from the run it recorded
    // meanwhile instead of undoing it.
    std::string stored;
    const std::unique_ptr<SCHEDULEDATA> current = db.Read(id, stored);
    if (current == nullptr || stored != name) {
        FillList();
        return;
    }
    if (edited != nullptr) {
        CSchedule now;
        now.LoadFromRecord(current.get());
        schedule.CountFrom(now.m_timeLastRun);
        edited = schedule.CreateRecord();
    }
    Save(db.Replace(id, name, current.get(), edited.get()));
    if (edited == nullptr) {
        FillList();
    }
}

void CQueueTransfersForm::Save(CQueueScheduleDB::Change change) {
    if (change == CQueueScheduleDB::Change::Changed) {
        FillList();
    } else if (change == CQueueScheduleDB::Change::Failed) {
        m_view.Warn("The change was not saved.\n" + RegLastFailure(HKEY_CURRENT_USER),
                    kNotSavedCaption);
    }
}

std::string CQueueTransfersForm::RemoveQuestion(const std::string& name) {
    return "Remove:\n" + name + "\nfrom Queue Transfer Scheduler ?";
}

void CQueueTransfersForm::OnRemove(const std::string& selected) {
    if (selected.empty()) {
        return;
    }
    CQueueScheduleDB db;
    const int id = db.FindIdByName(selected.c_str());
    if (id < 1) {
        return;
    }
    if (!m_view.Confirm(RemoveQuestion(selected), kRemoveCaption)) {
        return;
    }
    // Another program may have deleted the entry, or deleted it and reused the id for another
    // queue, while the user was answering.
    std::string stored;
    const std::unique_ptr<SCHEDULEDATA> current = db.Read(id, stored);
    if (current != nullptr && stored == selected) {
        Save(db.Replace(id, selected, current.get(), nullptr));
    }
    FillList();
}
