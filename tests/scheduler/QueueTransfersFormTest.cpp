#include "scheduler/QueueTransfersForm.h"
#include "scheduler/Schedule.h"
#include "support/PrivateEnvTest.h"

#include "SchedulerTestSupport.h"

#include <functional>

namespace {

// A dialog that records what the rules show and ask, and answers as a user would.
class CFakeView : public IQueueTransfersView {
public:
    void ShowLines(const std::vector<std::string>& shown) override {
        lines = shown;
        ++fills;
    }
    BOOL Confirm(const std::string& text, const char* caption) override {
        asked.push_back(std::string(caption) + ": " + text);
        if (whileAsking) {
            whileAsking();
        }
        return answer;
    }
    void Warn(const std::string& text, const char* /*caption*/) override { warned.push_back(text); }
    // The Schedule Transfer dialog: `user` changes the form and gives the dialog's result.
    int DoModal(CScheduleTransferForm& form) override {
        ++edits;
        return user ? user(form) : IDCANCEL;
    }

    std::vector<std::string> lines;
    std::vector<std::string> asked;
    std::vector<std::string> warned;
    int fills = 0;
    int edits = 0;
    BOOL answer = FALSE;
    std::function<void()> whileAsking;
    std::function<int(CScheduleTransferForm&)> user;
};

class QueueTransfersFormTest : public PrivateEnvTest {
protected:
    CClientProfile app;
    CFakeView view;
    CQueueTransfersForm form{view};

    // Queue files must exist, or filling the list purges their entries.
    std::string Queue(const std::string& name) { return m_env.WriteFile(name, "queue"); }
    // The entry's queue name and bytes; an empty name for none.
    std::pair<std::string, std::array<BYTE, 32>> Get(int id) {
        std::pair<std::string, std::array<BYTE, 32>> entry;
        if (const auto record = CQueueScheduleDB(&app).Read(id, entry.first)) {
            entry.second = record->ToBytes();
        }
        return entry;
    }
    static std::function<int(CScheduleTransferForm&)> Disable(std::function<void()> meanwhile) {
        return [meanwhile](CScheduleTransferForm& f) {
            meanwhile();
            f.m_bDisabled = 1;
            return IDOK;
        };
    }
};

TEST_F(QueueTransfersFormTest, ListsSortedAndRemovesOnlyTheEntryItAskedAbout) {
    const std::string b = Queue("b.ftq"), a = Queue("A.ftq"), c = Queue("c.ftq");
    PutQueue(1, b);
    PutQueue(2, c);
    PutQueue(3, a);
    PutQueue(4, m_env.Root() + "/gone.ftq");
    form.FillList();
    EXPECT_EQ(view.lines, (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(Get(4).first, ""); // purged: its file is gone

    form.OnRemove("");
    EXPECT_TRUE(view.asked.empty());
    form.OnRemove(b); // Cancel
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0], "Remove: Remove:\n" + b + "\nfrom Queue Transfer Scheduler ?");
    EXPECT_EQ(Get(1).first, b);
    view.answer = TRUE;
    form.OnRemove(b);
    EXPECT_EQ(Get(1).first, "");
    EXPECT_EQ(view.lines, (std::vector<std::string>{a, c}));

    // A line whose entry is gone asks nothing; one whose id was taken by another queue while
    // the user answered leaves that queue alone.
    CQueueScheduleDB(&app).Delete(2);
    form.OnRemove(c);
    EXPECT_EQ(view.asked.size(), 2u);
    view.whileAsking = [&] {
        CQueueScheduleDB(&app).Delete(3);
        PutQueue(3, b);
    };
    form.OnRemove(a);
    EXPECT_EQ(Get(3).first, b);
    EXPECT_EQ(view.lines, (std::vector<std::string>{b}));
}

TEST_F(QueueTransfersFormTest, EditRewritesClearsOrLeavesAndNeverUndoesARunMeanwhile) {
    const std::string path = Queue("daily.ftq"), other = Queue("other.ftq");
    PutQueue(1, path);
    PutQueue(2, path); // the same path twice: the first entry is the one acted on
    form.FillList();
    const int fills = view.fills;
    const auto untouched = Get(1);

    form.OnEdit("");
    EXPECT_EQ(view.edits, 0);
    view.user = [](CScheduleTransferForm& f) {
        f.m_bDisabled = 1;
        return IDCANCEL;
    };
    form.OnEdit(path);
    EXPECT_EQ(Get(1), untouched);

    // The scheduler records a run while the dialog is open: OK on an unchanged schedule keeps
    // it, a changed one counts from it; neither refills the list.
    SCHEDULEDATA ran = QueueRecord();
    ran.timeLastRun += 7200;
    view.user = [&](CScheduleTransferForm&) {
        PutQueue(1, path, ran);
        return IDOK;
    };
    form.OnEdit(path);
    EXPECT_EQ(Get(1).second, ran.ToBytes());
    ran.timeLastRun += 7200;
    view.user = Disable([&] { PutQueue(1, path, ran); });
    form.OnEdit(path);
    SCHEDULEDATA expected = ran;
    expected.bDisabled = 1;
    EXPECT_EQ(Get(1), std::make_pair(path, expected.ToBytes()));
    EXPECT_EQ(Get(2), untouched);
    EXPECT_EQ(view.fills, fills);
    EXPECT_TRUE(view.warned.empty());

    // An entry replaced by another queue while the dialog is open is left alone, by OK and by
    // Clear; and one whose entry is gone before Edit opens nothing (the stale line goes).
    for (const bool clear : {false, true}) {
        view.user = [&, clear](CScheduleTransferForm& f) {
            CQueueScheduleDB(&app).Delete(1);
            PutQueue(1, other);
            clear ? f.OnClear() : void(f.m_bDisabled = 1);
            return IDOK;
        };
        PutQueue(1, path);
        form.OnEdit(path);
        EXPECT_EQ(Get(1), std::make_pair(other, QueueRecord().ToBytes()));
    }
    CQueueScheduleDB(&app).Delete(1);
    const int edits = view.edits;
    form.OnEdit(other);
    EXPECT_EQ(view.edits, edits);
    EXPECT_EQ(view.lines, (std::vector<std::string>{path}));

    // Clear confirmed deletes the entry and its line.
    view.user = [](CScheduleTransferForm& f) {
        f.OnClear();
        return IDOK;
    };
    form.OnEdit(path);
    EXPECT_EQ(Get(2).first, "");
    EXPECT_TRUE(view.lines.empty());
}

} // namespace
