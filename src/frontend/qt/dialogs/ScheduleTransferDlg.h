// The "Schedule Transfer" dialog: start, optional end, once or every N units, disable, clear.
// Its widgets are bound to a CScheduleTransferForm, which holds the values and the rules.
#pragma once

#include "frontend/qt/dialogs/PeriodComboBox.h"
#include "platform/Time.h"
#include "platform/Types.h"
#include "scheduler/ScheduleTransferForm.h"

#include <QDateTime>
#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The arrows beside the count: each press steps the number in the buddy edit, stopping at the
// range limits, while a number typed into the edit is left as typed.
class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* parent = nullptr);
    ~CSpinButtonCtrl() override;

    void SetBuddy(QLineEdit* pBuddy);
    void SetRange(int nLower, int nUpper);
    int GetPos() const { return m_nPos; }
    void SetPos(int nPos);
    // One press of the up (+1) or down (-1) arrow.
    void Step(int delta);

    QToolButton* m_btnUp;
    QToolButton* m_btnDown;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_pBuddy = nullptr;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
};

class CScheduleTransferDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog's layout, also used as object names.
    enum {
        IDC_START_DATE = 1242,
        IDC_START_TIME = 1243,
        IDC_END_DATE = 1244,
        IDC_END_TIME = 1245,
        IDC_CHECK_END_DATE = 1246,
        IDC_UNIT = 1248,
        IDC_COUNT = 1249,
        IDC_COUNT_SPIN = 1250,
        IDC_ONCE = 1251,
        IDC_EVERY = 1252,
        IDC_CLEAR = 1253,
        IDC_DISABLE = 1254,
    };
    explicit CScheduleTransferDlg(CScheduleTransferForm& form, QWidget* pParent = nullptr);
    ~CScheduleTransferDlg() override;

    // Moves the members into the controls (FALSE) or the controls into the members (TRUE);
    // FALSE when a value was refused, after telling the user.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    void UpdatePeriodControls();
    void UpdateEndDateControls();
    void OnDateTimeChange();
    void OnClear();

    // The pickers carry the local calendar fields of the C library's breakdown.
    static QDateTime ToPickerValue(const CTime& time);
    static CTime FromPickerValue(const QDateTime& value);

    CScheduleTransferForm& m_form;

    CPeriodComboBox* m_cbUnit;
    QDateTimeEdit* m_ctrlEndDate;
    QDateTimeEdit* m_ctrlEndTime;
    QCheckBox* m_btnEndDate;
    QLineEdit* m_editCount;
    QRadioButton* m_btnOnce;

    // The remaining controls, for the layout and for tests that drive the dialog.
    QDateTimeEdit* m_ctrlStartDate;
    QDateTimeEdit* m_ctrlStartTime;
    CSpinButtonCtrl* m_spinCount;
    QRadioButton* m_btnEvery;
    QCheckBox* m_btnDisable;
    QPushButton* m_btnOK;
    QPushButton* m_btnCancel;
    QPushButton* m_btnClear;

public slots:
    void accept() override; // OK
    void reject() override; // Cancel, Escape, close box

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL DoDataExchange(BOOL bSaveAndValidate);
    void setVisible(bool visible) override;

private:
    void ExchangePickers(BOOL bSave);
    void SetPickerQuietly(QDateTimeEdit* pPicker, const CTime& time);

    bool m_bInitialised = false;
    bool m_bSettingPickers = false;
};

// The Qt front end's Schedule Transfer dialog as CSchedule::Edit runs it.
class CQtScheduleTransferDialog : public IScheduleTransferDialog {
public:
    int DoModal(CScheduleTransferForm& form) override;
};
