#include "frontend/qt/dialogs/ScheduleTransferDlg.h"
#include "scheduler/Schedule.h"

#include "DialogTestSupport.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

class ScheduleTransferDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    static std::array<std::int64_t, 10> Members(const CSchedule& s) {
        return {s.m_timeStart.GetTime(),
                s.m_timeEnd.GetTime(),
                s.m_timeLastRun.GetTime(),
                s.m_bOnce,
                s.m_bDisabled,
                s.m_bEndDate,
                s.m_bCleared,
                s.m_nCount,
                s.m_nUnit,
                s.m_bLoaded};
    }
    // Runs Edit with `drive` acting on the open dialog.
    static BOOL Edit(CSchedule& s, std::function<void(CScheduleTransferDlg*)> drive) {
        WhenModal<CScheduleTransferDlg>(std::move(drive));
        CQtScheduleTransferDialog dialog;
        return s.Edit(dialog);
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    static QDateTime Picker(const CTime& t) { return CScheduleTransferDlg::ToPickerValue(t); }
};

TEST_F(ScheduleTransferDlgTest, OpensWithTheScheduleAndOffersClearOnlyForAStoredOne) {
    CSchedule fresh;
    bool clear = true;
    EXPECT_FALSE(Edit(fresh, [&](CScheduleTransferDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Schedule Transfer");
        clear = dlg->m_btnClear->isEnabled();
        Click(dlg->m_btnCancel);
    }));
    EXPECT_FALSE(clear);

    CSchedule stored = LoadedSchedule(StoredSchedule());
    EXPECT_FALSE(Edit(stored, [&](CScheduleTransferDlg* dlg) {
        clear = dlg->m_btnClear->isEnabled();
        EXPECT_EQ(dlg->m_editCount->text(), "3");
        EXPECT_EQ(dlg->m_cbUnit->currentText(), "Days");
        EXPECT_TRUE(dlg->m_btnEndDate->isChecked());
        EXPECT_TRUE(dlg->m_btnEvery->isChecked());
        EXPECT_EQ(dlg->m_ctrlStartDate->date(), QDate(2026, 3, 2));
        EXPECT_EQ(dlg->m_ctrlStartTime->text(), "09:15");
        EXPECT_EQ(dlg->m_ctrlEndTime->text(), "18:00");
        EXPECT_EQ(dlg->focusWidget(), dlg->m_ctrlStartDate);
        QTest::keyClick(dlg, Qt::Key_Escape);
    }));
    EXPECT_TRUE(clear);
}

TEST_F(ScheduleTransferDlgTest, StoredFlagsDecideWhichControlsAreEnabled) {
    SCHEDULEDATA once = StoredSchedule();
    once.bOnce = 1;
    once.bEndDate = 0;
    CSchedule s = LoadedSchedule(once);
    Edit(s, [&](CScheduleTransferDlg* dlg) {
        EXPECT_TRUE(dlg->m_btnOnce->isChecked());
        EXPECT_TRUE(dlg->m_btnOnce->isEnabled());
        EXPECT_FALSE(dlg->m_editCount->isEnabled());
        EXPECT_FALSE(dlg->m_cbUnit->isEnabled());
        EXPECT_FALSE(dlg->m_spinCount->isEnabled());
        EXPECT_FALSE(dlg->m_ctrlEndDate->isEnabled());
        EXPECT_FALSE(dlg->m_ctrlEndTime->isEnabled());
        Click(dlg->m_btnCancel);
    });

    // Once and an end date together cannot be shown: the schedule opens, and is stored, as a
    // repeating one.
    SCHEDULEDATA both = StoredSchedule();
    both.bOnce = 1;
    CSchedule b = LoadedSchedule(both);
    EXPECT_TRUE(Edit(b, [&](CScheduleTransferDlg* dlg) {
        EXPECT_FALSE(dlg->m_btnOnce->isChecked());
        EXPECT_FALSE(dlg->m_btnOnce->isEnabled());
        EXPECT_TRUE(dlg->m_btnEvery->isChecked());
        EXPECT_TRUE(dlg->m_editCount->isEnabled());
        EXPECT_TRUE(dlg->m_cbUnit->isEnabled());
        EXPECT_TRUE(dlg->m_ctrlEndDate->isEnabled());
        Click(dlg->m_btnOK);
    }));
    EXPECT_EQ(b.m_bOnce, 0);
    EXPECT_EQ(b.m_bEndDate, 1);
}

TEST_F(ScheduleTransferDlgTest, EndDateGoesWithARepeatingScheduleAndRadiosSwitchThePeriod) {
    CScheduleTransferForm form;
    CScheduleTransferDlg dlg(form);
    form.m_bOnce = 1;
    form.m_nCount = 2;
    dlg.show();
    EXPECT_TRUE(dlg.m_btnOnce->isChecked());
    EXPECT_FALSE(dlg.m_ctrlEndDate->isEnabled());

    Click(dlg.m_btnEndDate);
    EXPECT_TRUE(dlg.m_btnEndDate->isChecked());
    EXPECT_FALSE(dlg.m_btnOnce->isChecked());
    EXPECT_FALSE(dlg.m_btnOnce->isEnabled());
    EXPECT_TRUE(dlg.m_btnEvery->isChecked());
    EXPECT_TRUE(dlg.m_editCount->isEnabled());
    EXPECT_TRUE(dlg.m_cbUnit->isEnabled());
    EXPECT_TRUE(dlg.m_ctrlEndDate->isEnabled());
    EXPECT_TRUE(dlg.m_ctrlEndTime->isEnabled());

    // A disabled "Transfer once" cannot be chosen.
    Click(dlg.m_btnOnce);
    EXPECT_TRUE(dlg.m_btnEvery->isChecked());

    Click(dlg.m_btnEndDate);
    EXPECT_TRUE(dlg.m_btnOnce->isEnabled());
    EXPECT_TRUE(dlg.m_btnEvery->isChecked());
    EXPECT_FALSE(dlg.m_ctrlEndDate->isEnabled());
    EXPECT_FALSE(dlg.m_ctrlEndTime->isEnabled());

    Click(dlg.m_btnOnce);
    EXPECT_TRUE(dlg.m_btnOnce->isChecked());
    EXPECT_FALSE(dlg.m_editCount->isEnabled());
    EXPECT_FALSE(dlg.m_cbUnit->isEnabled());
    Click(dlg.m_btnEvery);
    EXPECT_TRUE(dlg.m_editCount->isEnabled());
    EXPECT_TRUE(dlg.m_cbUnit->isEnabled());
}

TEST_F(ScheduleTransferDlgTest, TabEntersTheRadioGroupAtItsCheckedButtonArrowsMoveWithin) {
    CScheduleTransferForm form;
    CScheduleTransferDlg dlg(form);
    form.m_bOnce = 0;
    form.m_nCount = 2;
    form.m_bCanClear = 1;
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };

    dlg.m_btnCancel->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dlg.m_btnEvery);

    // An arrow chooses the other button; the group is then entered there, from either side.
    press(Qt::Key_Up);
    EXPECT_TRUE(dlg.m_btnOnce->isChecked());
    EXPECT_FALSE(dlg.m_editCount->isEnabled());
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dlg.m_btnClear);
    press(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dlg.m_btnOnce);
    press(Qt::Key_Down);
    EXPECT_TRUE(dlg.m_btnEvery->isChecked());
    EXPECT_TRUE(dlg.m_editCount->isEnabled());
}

TEST_F(ScheduleTransferDlgTest, EveryLongDateOfTheYearFitsItsPickerInAnyFontAndLocale) {
    const QFont normal = QApplication::font();
    QFont doubled = normal;
    doubled.setPointSizeF(normal.pointSizeF() * 2);
    const QDate first(QDate::currentDate().year(), 1, 1);
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Portuguese, QLocale::Brazil),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        for (const QFont& font : {normal, doubled}) {
            SCOPED_TRACE(locale.name().toStdString() + " " + std::to_string(font.pointSizeF()));
            QLocale::setDefault(locale);
            QApplication::setFont(font);
            CScheduleTransferForm form;
            CScheduleTransferDlg dlg(form);
            dlg.show();
            for (QDateTimeEdit* picker : {dlg.m_ctrlStartDate, dlg.m_ctrlEndDate}) {
                // The text area is the picker's edit less its margins of two pixels a side.
                const auto* field = picker->findChild<QLineEdit*>();
                ASSERT_NE(field, nullptr);
                const QFontMetrics metrics(field->font());
                int widest = 0;
                for (QDate day = first; day.year() == first.year(); day = day.addDays(1)) {
                    widest = qMax(widest, metrics.horizontalAdvance(
                                              locale.toString(day, picker->displayFormat())));
                }
                EXPECT_LE(widest, field->width() - 4);
            }
            // The time pickers moved along, inside the dialog.
            EXPECT_GT(dlg.m_ctrlStartTime->x(), dlg.m_ctrlStartDate->geometry().right());
            EXPECT_GT(dlg.m_ctrlEndTime->x(), dlg.m_ctrlEndDate->geometry().right());
            EXPECT_LE(dlg.m_ctrlEndTime->geometry().right(), dlg.width());
        }
    }
    QLocale::setDefault(QLocale::c());
    QApplication::setFont(normal);
}

TEST_F(ScheduleTransferDlgTest, EndEarlierThanTheStartJumpsToItEqualStays) {
    // Even with "End Date:" unchecked a later start pulls the end along.
    CScheduleTransferForm form;
    CScheduleTransferDlg dlg(form);
    form.m_timeStartDate = form.m_timeStartTime = CTime(2026, 3, 2, 14, 35, 0);
    form.m_timeEndDate = form.m_timeEndTime = CTime(2026, 3, 2, 15, 0, 0);
    dlg.show();
    QTest::keyClick(dlg.m_ctrlStartTime, Qt::Key_Up); // the hour: 15:35
    EXPECT_EQ(dlg.m_ctrlStartTime->text(), "15:35");
    EXPECT_EQ(dlg.m_ctrlEndTime->dateTime(), dlg.m_ctrlStartTime->dateTime());
    EXPECT_EQ(dlg.m_ctrlEndDate->dateTime(), dlg.m_ctrlStartDate->dateTime());

    // A start moved to a later day through the calendar.
    dlg.m_ctrlStartDate->setDate(QDate(2026, 3, 9));
    EXPECT_EQ(dlg.m_ctrlEndDate->date(), QDate(2026, 3, 9));
    EXPECT_EQ(dlg.m_ctrlEndTime->text(), "15:35");

    // An end moved before the start is put back on the start.
    dlg.m_ctrlEndDate->setDate(QDate(2026, 3, 1));
    EXPECT_EQ(dlg.m_ctrlEndDate->date(), QDate(2026, 3, 9));
}

TEST_F(ScheduleTransferDlgTest, OkCombinesEachDayWithItsTimeAndSetsTheAnchor) {
    // A schedule that was not stored counts from its start, even from a later last run.
    CSchedule fresh;
    fresh.m_timeStart = CTime(2026, 1, 5, 7, 0, 47);
    fresh.m_timeLastRun = CTime(2027, 1, 1, 0, 0, 0);
    EXPECT_TRUE(Edit(fresh, [&](CScheduleTransferDlg* dlg) {
        dlg->m_ctrlStartDate->setDate(QDate(2026, 3, 2));
        dlg->m_ctrlStartTime->setDateTime(Picker(CTime(2025, 7, 9, 14, 35, 47)));
        Click(dlg->m_btnEndDate);
        dlg->m_ctrlEndDate->setDate(QDate(2026, 5, 1));
        dlg->m_ctrlEndTime->setDateTime(Picker(CTime(2024, 2, 2, 23, 59, 58)));
        Retype(dlg->m_editCount, "2");
        dlg->m_cbUnit->setCurrentIndex(1);
        Click(dlg->m_btnDisable);
        Click(dlg->m_btnOK);
    }));
    ExpectTheEditedFreshSchedule(fresh);
    EXPECT_EQ(fresh.m_bCleared, 0);
}

TEST_F(ScheduleTransferDlgTest, ClearAsksAndOnOkReturnsClearedWithNothingElseCopied) {
    CSchedule s = LoadedSchedule(StoredSchedule());
    const auto before = Members(s);
    std::shared_ptr<MessageAnswer> cancelled;
    std::shared_ptr<MessageAnswer> confirmed;
    bool openAfterCancel = false;
    EXPECT_TRUE(Edit(s, [&](CScheduleTransferDlg* dlg) {
        Click(dlg->m_btnDisable);
        dlg->m_ctrlStartDate->setDate(QDate(2026, 6, 1));
        // An empty count is no reason to refuse a removal.
        Retype(dlg->m_editCount, "");
        cancelled = AnswerMessageBox(QMessageBox::Cancel);
        Click(dlg->m_btnClear);
        openAfterCancel = dlg->isVisible();
        confirmed = AnswerMessageBox(QMessageBox::Ok);
        Click(dlg->m_btnClear);
    }));
    ASSERT_TRUE(cancelled && cancelled->asked);
    EXPECT_TRUE(openAfterCancel);
    ASSERT_TRUE(confirmed && confirmed->asked);
    EXPECT_EQ(confirmed->caption, "Scheduled Transfers");
    EXPECT_EQ(confirmed->text, "Remove from Scheduled Transfers List?");
    EXPECT_EQ(confirmed->icon, QMessageBox::Question);
    EXPECT_TRUE(s.IsCleared());
    auto expected = before;
    expected[6] = 1; // m_bCleared
    EXPECT_EQ(Members(s), expected);

    // Clear refused, then Cancel: nothing at all.
    CSchedule kept = LoadedSchedule(StoredSchedule());
    EXPECT_FALSE(Edit(kept, [&](CScheduleTransferDlg* dlg) {
        AnswerMessageBox(QMessageBox::Cancel);
        Click(dlg->m_btnClear);
        Click(dlg->m_btnCancel);
    }));
    EXPECT_EQ(Members(kept), before);
}

TEST_F(ScheduleTransferDlgTest, CancelEscapeAndCloseLeaveTheScheduleAsItWas) {
    const std::function<void(QDialog*)> closers[] = {
        [](QDialog* dlg) { Click(static_cast<CScheduleTransferDlg*>(dlg)->m_btnCancel); },
        [](QDialog* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); },
        [](QDialog* dlg) { dlg->close(); },
    };
    for (const auto& close : closers) {
        CSchedule s = LoadedSchedule(StoredSchedule());
        const auto before = Members(s);
        EXPECT_FALSE(Edit(s, [&](CScheduleTransferDlg* dlg) {
            dlg->m_ctrlStartDate->setDate(QDate(2027, 1, 1));
            QTest::keyClick(dlg->m_ctrlStartTime, Qt::Key_Up);
            Click(dlg->m_btnEndDate);
            Click(dlg->m_btnOnce);
            Retype(dlg->m_editCount, "77");
            dlg->m_cbUnit->setCurrentIndex(4);
            Click(dlg->m_btnDisable);
            close(dlg);
        }));
        EXPECT_EQ(Members(s), before);
    }
}

TEST_F(ScheduleTransferDlgTest, RepeatingCountMustBeAPositiveNumberOnceOnlyKeepsItsOwn) {
    CSchedule s = LoadedSchedule(StoredSchedule());
    std::vector<QString> messages;
    bool focusedOnCount = true;
    EXPECT_TRUE(Edit(s, [&](CScheduleTransferDlg* dlg) {
        for (const char* bad : {"", "0"}) {
            Retype(dlg->m_editCount, bad);
            auto answer = AnswerMessageBox(QMessageBox::Ok);
            Click(dlg->m_btnOK);
            messages.push_back(answer->asked ? answer->text : QString("<none> for ") + bad);
            focusedOnCount =
                focusedOnCount && dlg->focusWidget() == dlg->m_editCount && dlg->isVisible();
        }
        // Only digits get into the count; beyond the arrows' range is taken as typed.
        Retype(dlg->m_editCount, "4x0-0.00");
        EXPECT_EQ(dlg->m_editCount->text(), "40000");
        Click(dlg->m_btnOK);
    }));
    EXPECT_EQ(messages, std::vector<QString>(2, "Please enter a positive integer."));
    EXPECT_TRUE(focusedOnCount);
    EXPECT_EQ(s.m_nCount, 40000);

    // A count nobody can edit (once only) is not held against the user and stays as it was.
    SCHEDULEDATA zero = StoredSchedule();
    zero.bOnce = 1;
    zero.bEndDate = 0;
    zero.nCount = 0;
    CSchedule once = LoadedSchedule(zero);
    bool asked = false;
    EXPECT_TRUE(Edit(once, [&](CScheduleTransferDlg* dlg) {
        EXPECT_EQ(dlg->m_editCount->text(), "0");
        Click(dlg->m_btnOK);
        asked = QApplication::activeModalWidget() != nullptr &&
                QApplication::activeModalWidget() != dlg;
    }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(once.m_nCount, 0);
}

TEST_F(ScheduleTransferDlgTest, ArrowsStepWithinOneTo32767TypedValuesStayAsTyped) {
    CScheduleTransferForm form;
    CScheduleTransferDlg dlg(form);
    form.m_bOnce = 0;
    form.m_nCount = 32766;
    dlg.show();
    Click(dlg.m_spinCount->m_btnUp);
    EXPECT_EQ(dlg.m_editCount->text(), "32767");
    Click(dlg.m_spinCount->m_btnUp);
    EXPECT_EQ(dlg.m_editCount->text(), "32767");

    Retype(dlg.m_editCount, "2");
    Click(dlg.m_spinCount->m_btnDown);
    Click(dlg.m_spinCount->m_btnDown);
    EXPECT_EQ(dlg.m_editCount->text(), "1");
    QTest::keyClick(dlg.m_editCount, Qt::Key_Up);
    QTest::keyClick(dlg.m_editCount, Qt::Key_Up);
    EXPECT_EQ(dlg.m_editCount->text(), "3");

    Retype(dlg.m_editCount, "99999");
    EXPECT_EQ(dlg.m_editCount->text(), "99999");
    Click(dlg.m_spinCount->m_btnUp);
    EXPECT_EQ(dlg.m_editCount->text(), "32767");
    Retype(dlg.m_editCount, "0");
    QTest::keyClick(dlg.m_editCount, Qt::Key_Down);
    EXPECT_EQ(dlg.m_editCount->text(), "1");

    Click(dlg.m_btnOnce);
    EXPECT_FALSE(dlg.m_spinCount->isEnabled());
}

TEST_F(ScheduleTransferDlgTest, UnitListIsFixedAndARepeatingScheduleNeedsOne) {
    {
        CScheduleTransferForm shownForm;
        CScheduleTransferDlg shown(shownForm);
        shownForm.m_nUnit = 7;
        shown.show();
        CPeriodComboBox* combo = shown.m_cbUnit;
        ASSERT_EQ(combo->count(), 5);
        const char* names[] = {"Minutes", "Hours", "Days", "Weeks", "Months"};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(combo->itemText(i), names[i]);
            EXPECT_EQ(combo->itemData(i).toInt(), i);
        }
        EXPECT_EQ(combo->GetSelectedUnit(), CB_ERR);
        combo->SelectUnit(3);
        EXPECT_EQ(combo->GetSelectedUnit(), 3);
        combo->SelectUnit(9);
        EXPECT_EQ(combo->GetSelectedUnit(), 3);
    }

    SCHEDULEDATA d = StoredSchedule();
    d.nUnit = PeriodUnit::Weeks;
    CSchedule s = LoadedSchedule(d);
    bool stayedOpen = false;
    bool listShown = false;
    EXPECT_TRUE(Edit(s, [&](CScheduleTransferDlg* dlg) {
        Retype(dlg->m_cbUnit->lineEdit(), "fortnights");
        EXPECT_EQ(dlg->m_cbUnit->GetSelectedUnit(), CB_ERR);
        Click(dlg->m_btnOK);
        stayedOpen = dlg->isVisible();
        listShown = dlg->m_cbUnit->view()->isVisible();
        dlg->m_cbUnit->hidePopup();
        Retype(dlg->m_cbUnit->lineEdit(), "months");
        Click(dlg->m_btnOK);
    }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(listShown);
    EXPECT_EQ(s.m_nUnit, PeriodUnit::Months);

    // A single transfer keeps a unit the list does not know.
    d.bOnce = 1;
    d.bEndDate = 0;
    d.nUnit = 7;
    CSchedule once = LoadedSchedule(d);
    EXPECT_TRUE(Edit(once, [&](CScheduleTransferDlg* dlg) { Click(dlg->m_btnOK); }));
    EXPECT_EQ(once.m_nUnit, 7);
}

TEST_F(ScheduleTransferDlgTest, ExtremeStoredValuesOpenAndCancelUntouched) {
    SCHEDULEDATA d = StoredSchedule();
    d.timeStart = INT32_MIN;
    d.timeEnd = INT32_MAX;
    d.timeLastRun = INT32_MAX;
    d.nCount = 100000;
    d.nUnit = 7;
    CSchedule s = LoadedSchedule(d);
    const auto before = Members(s);
    EXPECT_FALSE(Edit(s, [&](CScheduleTransferDlg* dlg) {
        EXPECT_EQ(dlg->m_editCount->text(), "100000");
        Click(dlg->m_btnCancel);
    }));
    EXPECT_EQ(Members(s), before);

    // Confirmed as shown: the pickers only offer days whose every minute fits the stored time.
    EXPECT_TRUE(Edit(s, [&](CScheduleTransferDlg* dlg) {
        dlg->m_cbUnit->setCurrentIndex(0);
        dlg->m_ctrlEndDate->setDate(QDate(2100, 1, 1));
        Click(dlg->m_btnOK);
    }));
    EXPECT_GT(s.m_timeStart.GetTime(), INT32_MIN);
    EXPECT_GT(s.m_timeEnd.GetTime(), s.m_timeStart.GetTime());
    EXPECT_LT(s.m_timeEnd.GetTime(), INT32_MAX);
    EXPECT_EQ(s.m_timeEnd.GetSecond(), 0);
    EXPECT_EQ(s.m_timeLastRun.GetTime(), INT32_MAX);
    EXPECT_EQ(s.m_nCount, 100000);
}

} // namespace
