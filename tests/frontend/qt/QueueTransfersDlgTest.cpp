#include "frontend/qt/dialogs/QueueTransfersDlg.h"
#include "frontend/qt/dialogs/ScheduleTransferDlg.h"
#include "scheduler/Schedule.h"
#include "support/PrivateEnvTest.h"

#include "DialogTestSupport.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

class QueueTransfersDlgTest : public PrivateEnvTest {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    CClientProfile app;

    // Queue files must exist, or opening the dialog purges their entries.
    std::string Queue(const std::string& name) { return m_env.WriteFile(name, "queue"); }

    struct Entry {
        std::string name;
        std::optional<std::array<std::int32_t, 8>> fields;
    };
    Entry Get(int id) {
        Entry entry;
        auto record = CQueueScheduleDB(&app).Read(id, entry.name);
        if (record) {
            entry.fields = Fields(*record);
        }
        return entry;
    }
    static QStringList Lines(const CQueueTransfersDlg& dlg) {
        QStringList lines;
        for (int i = 0; i < dlg.m_listQueues->count(); ++i) {
            lines << dlg.m_listQueues->item(i)->text();
        }
        return lines;
    }
    static void SelectLine(CQueueTransfersDlg& dlg, int row) {
        QListWidget* list = dlg.m_listQueues;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Clicks `button` and tells whether any modal window came up; one that does is cancelled.
    static bool ClickAskedAnything(QPushButton* button) {
        auto asked = std::make_shared<bool>(false);
        QTimer::singleShot(0, [asked] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                *asked = true;
                modal->close();
            }
        });
        Click(button);
        QApplication::processEvents();
        return *asked;
    }
};

TEST_F(QueueTransfersDlgTest, OpeningPurgesAndListsReadableEntriesSorted) {
    const std::string b = Queue("b.ftq");
    const std::string a = Queue("A.ftq");
    const std::string c = Queue("c.ftq");
    const std::string unreadable = Queue("unreadable.ftq");
    PutQueue(1, b);
    PutQueue(2, c);
    PutQueue(3, a);
    PutQueue(4, m_env.Root() + "/gone.ftq"); // its file does not exist
    PutQueue(5, unreadable);
    app.WriteProfileInt("CurrentVersion\\Scheduler\\Queue\\5", "DataSize", 16);

    CQueueTransfersDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Queue Transfers");
    EXPECT_EQ(Lines(dlg), QStringList({QString::fromStdString(a), QString::fromStdString(b),
                                       QString::fromStdString(c)}));
    EXPECT_FALSE(dlg.m_btnEdit->isEnabled());
    EXPECT_FALSE(dlg.m_btnRemove->isEnabled());
    EXPECT_EQ(Get(4).name, "");         // purged
    EXPECT_EQ(Get(5).name, unreadable); // kept, just not listed
    std::string selected = "x";
    dlg.GetSelectedName(selected);
    EXPECT_EQ(selected, "");

    // A double click only selects.
    QListWidget* list = dlg.m_listQueues;
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualItemRect(list->item(1)).center());
    dlg.GetSelectedName(selected);
    EXPECT_EQ(selected, b);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.m_btnEdit->isEnabled());

    CQueueTransfersDlg empty;
    PutQueue(1, m_env.Root() + "/gone.ftq");
    PutQueue(2, m_env.Root() + "/gone.ftq");
    PutQueue(3, m_env.Root() + "/gone.ftq");
    CQueueScheduleDB(&app).Delete(5);
    empty.show();
    EXPECT_EQ(empty.m_listQueues->count(), 0);
    EXPECT_FALSE(empty.m_btnEdit->isEnabled());
    EXPECT_FALSE(empty.m_btnRemove->isEnabled());
}

TEST_F(QueueTransfersDlgTest, RemoveAsksThenDeletesButtonsStayEnabledWithoutSelection) {
    const std::string one = Queue("one.ftq");
    const std::string two = Queue("two.ftq");
    PutQueue(1, one);
    PutQueue(2, two);
    CQueueTransfersDlg dlg;
    dlg.show();
    SelectLine(dlg, 0);
    ASSERT_TRUE(dlg.m_btnRemove->isEnabled());

    auto declined = AnswerMessageBox(QMessageBox::Cancel);
    Click(dlg.m_btnRemove);
    ASSERT_TRUE(declined->asked);
    EXPECT_EQ(declined->caption, "Remove");
    EXPECT_EQ(declined->text,
              QString::fromStdString("Remove:\n" + one + "\nfrom Queue Transfer Scheduler ?"));
    EXPECT_EQ(declined->icon, QMessageBox::Question);
    EXPECT_EQ(Get(1).name, one);
    EXPECT_EQ(dlg.m_listQueues->count(), 2);

    auto confirmed = AnswerMessageBox(QMessageBox::Ok);
    Click(dlg.m_btnRemove);
    ASSERT_TRUE(confirmed->asked);
    EXPECT_EQ(Get(1).name, "");
    EXPECT_EQ(Get(2).name, two);
    EXPECT_EQ(Lines(dlg), QStringList{QString::fromStdString(two)});

    // The refill leaves no selection; the buttons keep their state and do nothing.
    EXPECT_TRUE(dlg.m_btnEdit->isEnabled());
    EXPECT_TRUE(dlg.m_btnRemove->isEnabled());
    EXPECT_FALSE(ClickAskedAnything(dlg.m_btnRemove));
    EXPECT_FALSE(ClickAskedAnything(dlg.m_btnEdit));
    EXPECT_EQ(Get(2).name, two);

    // Closing by OK changes nothing.
    Click(dlg.m_btnOK);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_EQ(Get(2).fields, Fields(QueueRecord()));
}

TEST_F(QueueTransfersDlgTest, EditRewritesClearsOrLeavesTheEntry) {
    const std::string path = Queue("edited.ftq");
    PutQueue(7, path);

    CQueueTransfersDlg dlg;
    dlg.show();
    SelectLine(dlg, 0);

    // Cancel: nothing written.
    WhenModal<CScheduleTransferDlg>([](CScheduleTransferDlg* sched) {
        EXPECT_TRUE(sched->m_btnClear->isEnabled());
        Click(sched->m_btnDisable);
        Click(sched->m_btnCancel);
    });
    Click(dlg.m_btnEdit);
    EXPECT_EQ(Get(7).fields, Fields(QueueRecord()));

    // OK: the same id and name with the new schedule; the list stays as it is.
    WhenModal<CScheduleTransferDlg>([](CScheduleTransferDlg* sched) {
        Click(sched->m_btnDisable);
        sched->m_editCount->selectAll();
        QTest::keyClicks(sched->m_editCount, "5");
        Click(sched->m_btnOK);
    });
    Click(dlg.m_btnEdit);
    const Entry edited = Get(7);
    EXPECT_EQ(edited.name, path);
    ASSERT_TRUE(edited.fields);
    EXPECT_EQ((*edited.fields)[5], 1); // disabled
    EXPECT_EQ((*edited.fields)[6], 5); // count
    EXPECT_EQ((*edited.fields)[2], QueueRecord().timeLastRun);
    EXPECT_EQ(Lines(dlg), QStringList{QString::fromStdString(path)});
    EXPECT_FALSE(dlg.m_listQueues->selectedItems().isEmpty());

    // Clear confirmed: the entry and its line are gone.
    WhenModal<CScheduleTransferDlg>([](CScheduleTransferDlg* sched) {
        AnswerMessageBox(QMessageBox::Ok);
        Click(sched->m_btnClear);
    });
    Click(dlg.m_btnEdit);
    EXPECT_EQ(Get(7).name, "");
    EXPECT_EQ(dlg.m_listQueues->count(), 0);
}

TEST_F(QueueTransfersDlgTest, AFailedSaveIsToldAndTheEntryStaysAsItWas) {
    const std::string path = Queue("daily.ftq");
    PutQueue(7, path);
    CQueueTransfersDlg dlg;
    dlg.show();
    SelectLine(dlg, 0);

    // A store that takes no writes: the user is told, and the entry is as it was.
    const Entry before = Get(7);
    std::shared_ptr<MessageAnswer> told;
    WhenModal<CScheduleTransferDlg>([&](CScheduleTransferDlg* sched) {
        Click(sched->m_btnDisable);
        told = AnswerMessageBox(QMessageBox::Ok);
        Click(sched->m_btnOK);
    });
    {
        ScopedWriteRefusal fullDisk;
        Click(dlg.m_btnEdit);
    }
    ASSERT_TRUE(told && told->asked);
    EXPECT_TRUE(told->text.startsWith("The change was not saved.\nthe store " +
                                      QString::fromStdString(m_env.UserStore())))
        << told->text.toStdString();
    EXPECT_EQ(Get(7).fields, before.fields);
}

TEST_F(QueueTransfersDlgTest, LongAndOddPathsAreShownAsTheyAreAndFoundAgain) {
    // A path of 4,000 characters below nested folders.
    std::string folder = m_env.Root();
    while (folder.size() < 3800) {
        folder += "/" + std::string(200, 'd');
    }
    std::filesystem::create_directories(folder);
    std::string longPath = folder + "/" + std::string(4000 - folder.size() - 1, 'q');
    ASSERT_EQ(longPath.size(), 4000u);
    std::ofstream(longPath) << "queue";
    const std::string markup = Queue("<b>bold<b> & \"quoted\".ftq");
    const std::string latin1 = Queue("caf\xe9.ftq"); // not UTF-8
    PutQueue(1, longPath);
    PutQueue(2, markup);
    PutQueue(3, latin1);

    CQueueTransfersDlg dlg;
    dlg.show();
    ASSERT_EQ(dlg.m_listQueues->count(), 3);
    for (int row = 0; row < 3; ++row) {
        SelectLine(dlg, 0);
        std::string name;
        dlg.GetSelectedName(name);
        auto answer = AnswerMessageBox(QMessageBox::Ok);
        Click(dlg.m_btnRemove);
        ASSERT_TRUE(answer->asked) << name;
        EXPECT_EQ(answer->format, Qt::PlainText);
        EXPECT_TRUE(name == longPath || name == markup || name == latin1);
    }
    EXPECT_EQ(dlg.m_listQueues->count(), 0);
    EXPECT_FALSE(CQueueScheduleDB(&app).GetIdList());
}

TEST_F(QueueTransfersDlgTest, ModalRunEndsWithEscapeOrCloseAndChangesNothing) {
    const std::string path = Queue("q.ftq");
    PutQueue(1, path);
    for (bool escape : {true, false}) {
        CQueueTransfersDlg dlg;
        WhenModal<CQueueTransfersDlg>([&](CQueueTransfersDlg* open) {
            SelectLine(*open, 0);
            if (escape) {
                QTest::keyClick(open, Qt::Key_Escape);
            } else {
                open->close();
            }
        });
        dlg.exec();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(Get(1).fields, Fields(QueueRecord()));
    }
}

} // namespace
