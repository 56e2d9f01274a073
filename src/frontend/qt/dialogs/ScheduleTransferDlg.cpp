#include "frontend/qt/dialogs/ScheduleTransferDlg.h"

#include "frontend/qt/dialogs/DialogUnits.h"
#include "frontend/qt/platform/QtModal.h"
#include "platform/WinApp.h"
#include "scheduler/Schedule.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>

#include <algorithm>
#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------------------------
// CSpinButtonCtrl

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent)
    : QWidget(parent), m_btnUp(new QToolButton(this)), m_btnDown(new QToolButton(this)) {
    for (QToolButton* button : {m_btnUp, m_btnDown}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_btnUp->setArrowType(Qt::UpArrow);
    m_btnDown->setArrowType(Qt::DownArrow);
    connect(m_btnUp, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_btnDown, &QToolButton::clicked, this, [this] { Step(-1); });
}

CSpinButtonCtrl::~CSpinButtonCtrl() = default;

void CSpinButtonCtrl::SetBuddy(QLineEdit* pBuddy) {
    if (m_pBuddy != nullptr) {
        m_pBuddy->removeEventFilter(this);
    }
    m_pBuddy = pBuddy;
    if (m_pBuddy != nullptr) {
        m_pBuddy->installEventFilter(this);
    }
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper) {
    m_nLower = qMin(nLower, nUpper);
    m_nUpper = qMax(nLower, nUpper);
    m_nPos = qBound(m_nLower, m_nPos, m_nUpper);
}

void CSpinButtonCtrl::SetPos(int nPos) {
    m_nPos = qBound(m_nLower, nPos, m_nUpper);
}

void CSpinButtonCtrl::Step(int delta) {
    // Start from the number in the edit when there is one, so that typing and the arrows
    // agree; a number outside the range is first brought back to just beyond it.
    const qlonglong lower = m_nLower;
    const qlonglong upper = m_nUpper;
    qlonglong from = m_nPos;
    if (m_pBuddy != nullptr) {
        bool ok = false;
        const qlonglong typed = m_pBuddy->text().toLongLong(&ok);
        if (ok) {
            from = std::clamp(typed, lower - 1, upper + 1);
        }
    }
    m_nPos = static_cast<int>(std::clamp(from + delta, lower, upper));
    if (m_pBuddy != nullptr) {
        m_pBuddy->setText(QString::number(m_nPos));
    }
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_btnUp->setGeometry(0, 0, width(), half);
    m_btnDown->setGeometry(0, half, width(), height() - half);
}

bool CSpinButtonCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pBuddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// CScheduleTransferDlg

namespace {

// Sizes the control from its rectangle in dialog units, growing it where the desktop's
// style needs more room for the same text; `shift` and `widen` move and widen it further, in
// pixels.
void Place(QWidget* control, const CDialogUnits& units, int x, int y, int width, int height,
           int shift = 0, int widen = 0) {
    QRect rect = units.Rect(x, y, width, height).adjusted(shift, 0, shift + widen, 0);
    const QSize hint = control->sizeHint();
    // Only text must never be cut; edits and pickers keep their width.
    if (qobject_cast<QAbstractButton*>(control) != nullptr ||
        qobject_cast<QLabel*>(control) != nullptr) {
        rect.setWidth(qMax(rect.width(), hint.width()));
    }
    rect.setHeight(qMax(rect.height(), hint.height()));
    control->setGeometry(rect);
}

// The dates a date picker offers: every time of day on them fits the 32-bit time range.
QDate FirstPickableDate() {
    return CScheduleTransferDlg::ToPickerValue(
               CTime(static_cast<std::int32_t>(CTime::kMin + 86400)))
        .date();
}
QDate LastPickableDate() {
    return CScheduleTransferDlg::ToPickerValue(
               CTime(static_cast<std::int32_t>(CTime::kMax - 86400)))
        .date();
}

QDateTimeEdit* NewPicker(QWidget* parent, int id) {
    auto* picker = new QDateTimeEdit(parent);
    picker->setObjectName(QString::number(id));
    return picker;
}

// The width a long-date picker needs to show every date of this year whole, in its font and
// its locale's day and month names, with room for its frame and calendar button.
int LongDatePickerWidth(const QDateTimeEdit* picker) {
    const QFontMetrics metrics(picker->font());
    const QDate first(QDate::currentDate().year(), 1, 1);
    int widest = 0;
    for (QDate day = first; day.year() == first.year(); day = day.addDays(1)) {
        const QString text = picker->locale().toString(day, picker->displayFormat());
        widest = qMax(widest, metrics.horizontalAdvance(text + QLatin1Char(' ')));
    }
    // Measured as the picker measures its own widest text, caret included.
    QStyleOptionComboBox option;
    option.initFrom(picker);
    return picker->style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option,
                           QSize(widest + 2, picker->sizeHint().height()), picker)
        .width();
}

// A long-date picker as the layout places it, the date format of the user's locale set.
QDateTimeEdit* NewLongDatePicker(QWidget* parent, int id) {
    QDateTimeEdit* picker = NewPicker(parent, id);
    picker->setDisplayFormat(picker->locale().dateFormat(QLocale::LongFormat));
    picker->setCalendarPopup(true);
    picker->setDateRange(FirstPickableDate(), LastPickableDate());
    return picker;
}

// Tab enters a group of radio buttons at its checked one, and the arrows move within the group
// in its order, round from the last to the first, choosing the button they reach.
class CRadioGroup : public QObject {
public:
    CRadioGroup(QObject* parent, std::vector<QRadioButton*> buttons)
        : QObject(parent), m_buttons(std::move(buttons)) {
        for (QRadioButton* button : m_buttons) {
            button->installEventFilter(this);
            connect(button, &QRadioButton::toggled, this, [this] { UpdateTabStop(); });
        }
        UpdateTabStop();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = (key == Qt::Key_Down || key == Qt::Key_Right) ? 1
                         : (key == Qt::Key_Up || key == Qt::Key_Left)  ? -1
                                                                       : 0;
        const auto from = std::find(m_buttons.begin(), m_buttons.end(), watched);
        if (step == 0 || from == m_buttons.end()) {
            return false;
        }
        const int count = static_cast<int>(m_buttons.size());
        const int index = static_cast<int>(from - m_buttons.begin());
        for (int distance = 1; distance < count; ++distance) {
            QRadioButton* next = m_buttons[(index + step * distance + count) % count];
            if (next->isEnabled()) {
                next->click();
                next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                break;
            }
        }
        return true;
    }

private:
    // Only the checked button is a tab stop.
    void UpdateTabStop() {
        for (QRadioButton* button : m_buttons) {
            button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }

    std::vector<QRadioButton*> m_buttons;
};

} // namespace

CScheduleTransferDlg::CScheduleTransferDlg(CScheduleTransferForm& form, QWidget* pParent)
    : QDialog(pParent), m_form(form) {
    setWindowTitle(QStringLiteral("Schedule Transfer"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const CDialogUnits units(font());

    // Created in the layout's order, which is also the tab order.
    m_ctrlStartDate = NewLongDatePicker(this, IDC_START_DATE);
    // Where the font or the locale's names need wider date pickers than the layout's, the
    // controls on their right move along and the dialog grows.
    const int grow = qMax(0, LongDatePickerWidth(m_ctrlStartDate) - units.X(112));
    Place(m_ctrlStartDate, units, 6, 20, 112, 12, 0, grow);

    m_ctrlStartTime = NewPicker(this, IDC_START_TIME);
    Place(m_ctrlStartTime, units, 122, 20, 44, 12, grow);

    m_btnEndDate = new QCheckBox(QStringLiteral("End Date:"), this);
    m_btnEndDate->setObjectName(QString::number(IDC_CHECK_END_DATE));
    Place(m_btnEndDate, units, 6, 44, 46, 8);

    m_ctrlEndDate = NewLongDatePicker(this, IDC_END_DATE);
    Place(m_ctrlEndDate, units, 6, 56, 112, 12, 0, grow);

    m_ctrlEndTime = NewPicker(this, IDC_END_TIME);
    Place(m_ctrlEndTime, units, 122, 56, 44, 12, grow);

    // The arrows sit at the right end of the count's rectangle, the edit keeps the rest.
    m_editCount = new QLineEdit(this);
    m_editCount->setObjectName(QString::number(IDC_COUNT));
    m_editCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_editCount->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    Place(m_editCount, units, 78, 92, 32, 12, grow);

    m_spinCount = new CSpinButtonCtrl(this);
    m_spinCount->setObjectName(QString::number(IDC_COUNT_SPIN));
    m_spinCount->setGeometry(m_editCount->geometry().right() + 1, m_editCount->y(), units.X(8),
                             m_editCount->height());
    m_spinCount->SetBuddy(m_editCount);

    m_cbUnit = new CPeriodComboBox(this);
    m_cbUnit->setObjectName(QString::number(IDC_UNIT));
    Place(m_cbUnit, units, 122, 92, 44, 12, grow);

    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnOK->setDefault(true);
    Place(m_btnOK, units, 8, 126, 50, 14);

    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    Place(m_btnCancel, units, 116, 126, 50, 14, grow);

    auto* startLabel = new QLabel(QStringLiteral("Start Date:"), this);
    Place(startLabel, units, 6, 8, 46, 8);

    auto* separator = new QFrame(this);
    separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    separator->setGeometry(units.Rect(0, 120, 172, 1).adjusted(0, 0, grow, 1));

    m_btnOnce = new QRadioButton(QStringLiteral("Transfer once"), this);
    m_btnOnce->setObjectName(QString::number(IDC_ONCE));
    Place(m_btnOnce, units, 6, 78, 58, 10);

    m_btnEvery = new QRadioButton(QStringLiteral("Transfer every:"), this);
    m_btnEvery->setObjectName(QString::number(IDC_EVERY));
    Place(m_btnEvery, units, 70, 78, 61, 10);

    m_btnClear = new QPushButton(QStringLiteral("Clear"), this);
    m_btnClear->setObjectName(QString::number(IDC_CLEAR));
    Place(m_btnClear, units, 62, 126, 50, 14, grow / 2);

    m_btnDisable = new QCheckBox(QStringLiteral("Disable"), this);
    m_btnDisable->setObjectName(QString::number(IDC_DISABLE));
    Place(m_btnDisable, units, 8, 106, 40, 10);

    QWidget* tabOrder[] = {m_ctrlStartDate, m_ctrlStartTime, m_btnEndDate, m_ctrlEndDate,
                           m_ctrlEndTime,   m_editCount,     m_cbUnit,     m_btnOK,
                           m_btnCancel,     m_btnOnce,       m_btnEvery,   m_btnClear,
                           m_btnDisable};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    // The dialog's rectangle, grown if a control had to be.
    QSize size(units.X(172), units.Y(145));
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        size = size.expandedTo(
            QSize(child->geometry().right() + units.X(4), child->geometry().bottom() + units.Y(4)));
    }
    setFixedSize(size);

    connect(m_btnOnce, &QRadioButton::clicked, this, [this] { UpdatePeriodControls(); });
    connect(m_btnEvery, &QRadioButton::clicked, this, [this] { UpdatePeriodControls(); });
    new CRadioGroup(this, {m_btnOnce, m_btnEvery});
    connect(m_btnEndDate, &QCheckBox::clicked, this, [this] { UpdateEndDateControls(); });
    connect(m_btnClear, &QPushButton::clicked, this, [this] { OnClear(); });
    connect(m_btnOK, &QPushButton::clicked, this, &CScheduleTransferDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CScheduleTransferDlg::reject);
    for (QDateTimeEdit* picker : {m_ctrlStartDate, m_ctrlStartTime, m_ctrlEndDate, m_ctrlEndTime}) {
        connect(picker, &QDateTimeEdit::dateTimeChanged, this, [this] { OnDateTimeChange(); });
    }
}

CScheduleTransferDlg::~CScheduleTransferDlg() = default;

QDateTime CScheduleTransferDlg::ToPickerValue(const CTime& time) {
    std::tm tm{};
    if (!time.GetLocalTm(&tm)) {
        return QDateTime(QDate(1970, 1, 1), QTime(0, 0));
    }
    return QDateTime(QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                     QTime(tm.tm_hour, tm.tm_min, qMin(tm.tm_sec, 59)));
}

CTime CScheduleTransferDlg::FromPickerValue(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    return CTime(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

void CScheduleTransferDlg::setVisible(bool visible) {
    if (visible && !m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

BOOL CScheduleTransferDlg::UpdateData(BOOL bSaveAndValidate) {
    return DoDataExchange(bSaveAndValidate);
}

void CScheduleTransferDlg::SetPickerQuietly(QDateTimeEdit* pPicker, const CTime& time) {
    // Only the user's own changes are date-time changes.
    m_bSettingPickers = true;
    pPicker->setDateTime(ToPickerValue(time));
    m_bSettingPickers = false;
}

void CScheduleTransferDlg::ExchangePickers(BOOL bSave) {
    struct Pair {
        QDateTimeEdit* picker;
        CTime* value;
    };
    const Pair pairs[] = {{m_ctrlEndTime, &m_form.m_timeEndTime},
                          {m_ctrlEndDate, &m_form.m_timeEndDate},
                          {m_ctrlStartDate, &m_form.m_timeStartDate},
                          {m_ctrlStartTime, &m_form.m_timeStartTime}};
    for (const Pair& pair : pairs) {
        if (bSave) {
            *pair.value = FromPickerValue(pair.picker->dateTime());
        } else {
            SetPickerQuietly(pair.picker, *pair.value);
        }
    }
}

BOOL CScheduleTransferDlg::DoDataExchange(BOOL bSaveAndValidate) {
    if (!bSaveAndValidate) {
        m_editCount->setText(QString::number(m_form.m_nCount));
        ExchangePickers(FALSE);
        m_btnDisable->setChecked(m_form.m_bDisabled != 0);
        return TRUE;
    }
    ExchangePickers(TRUE);
    m_form.m_bDisabled = m_btnDisable->isChecked() ? 1 : 0;
    return TRUE;
}

BOOL CScheduleTransferDlg::OnInitDialog() {
    // An end date opens the schedule as a repeating one.
    m_form.SetEndDate(m_form.m_bEndDate);
    UpdateData(FALSE);

    if (m_form.m_bOnce) {
        m_btnOnce->setChecked(true);
    } else {
        m_btnEvery->setChecked(true);
    }

    m_ctrlStartTime->setDisplayFormat(QStringLiteral("HH:mm"));
    m_ctrlEndTime->setDisplayFormat(QStringLiteral("HH:mm"));

    m_spinCount->SetRange(CScheduleTransferForm::kCountMin, CScheduleTransferForm::kCountMax);
    m_spinCount->SetPos(
        static_cast<int>(qMin<DWORD>(m_form.m_nCount, CScheduleTransferForm::kCountMax)));

    m_cbUnit->Fill();
    m_cbUnit->SelectUnit(m_form.m_nUnit);

    m_btnEndDate->setChecked(m_form.m_bEndDate != 0);
    m_btnClear->setEnabled(m_form.IsClearEnabled() != 0);

    UpdateEndDateControls();

    m_ctrlStartDate->setFocus();
    return TRUE;
}

void CScheduleTransferDlg::UpdatePeriodControls() {
    m_form.SetOnce(m_btnOnce->isChecked() ? TRUE : FALSE);
    const bool period = m_form.IsPeriodEnabled() != 0;
    m_editCount->setEnabled(period);
    m_cbUnit->setEnabled(period);
    // The arrows belong to the count; stepping a count nobody can edit would be confusing.
    m_spinCount->setEnabled(period);
}

void CScheduleTransferDlg::UpdateEndDateControls() {
    m_form.SetEndDate(m_btnEndDate->isChecked() ? TRUE : FALSE);
    m_ctrlEndDate->setEnabled(m_form.IsEndEnabled() != 0);
    m_ctrlEndTime->setEnabled(m_form.IsEndEnabled() != 0);
    if (!m_form.m_bOnce) {
        m_btnEvery->setChecked(true);
    }
    m_btnOnce->setEnabled(m_form.IsOnceEnabled() != 0);
    UpdatePeriodControls();
}

void CScheduleTransferDlg::OnDateTimeChange() {
    if (m_bSettingPickers) {
        return;
    }
    // Only the pickers are read: a count being typed must neither be validated nor reset
    // because a date changed.
    ExchangePickers(TRUE);
    if (m_form.OnDateTimeChange()) {
        SetPickerQuietly(m_ctrlEndDate, m_form.m_timeEndDate);
        SetPickerQuietly(m_ctrlEndTime, m_form.m_timeEndTime);
    }
}

void CScheduleTransferDlg::accept() {
    OnOK();
}

void CScheduleTransferDlg::reject() {
    OnCancel();
}

void CScheduleTransferDlg::OnOK() {
    m_form.SetEndDate(m_btnEndDate->isChecked() ? TRUE : FALSE);
    m_form.SetOnce(m_btnOnce->isChecked() ? TRUE : FALSE);
    UpdateData(TRUE);
    switch (m_form.OnOK(m_editCount->text().toStdString(), m_cbUnit->GetSelectedUnit())) {
    case CScheduleTransferForm::Refusal::Count: {
        // Titled as the framework titles its messages: with the program's name.
        const CWinApp* app = AfxGetApp();
        QMessageBox box(
            QMessageBox::Warning, QString::fromStdString(app != nullptr ? app->m_pszAppName : ""),
            QString::fromLatin1(CScheduleTransferForm::kCountRefused), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        ExecModalToOwners(box);
        m_editCount->setFocus();
        m_editCount->selectAll();
        return;
    }
    case CScheduleTransferForm::Refusal::Unit:
        m_cbUnit->setFocus();
        m_cbUnit->showPopup();
        return;
    case CScheduleTransferForm::Refusal::None:
        break;
    }
    QDialog::done(IDOK);
}

void CScheduleTransferDlg::OnCancel() {
    QDialog::done(IDCANCEL);
}

void CScheduleTransferDlg::OnClear() {
    QMessageBox box(QMessageBox::Question,
                    QString::fromLatin1(CScheduleTransferForm::kClearCaption),
                    QString::fromLatin1(CScheduleTransferForm::kClearText),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setTextFormat(Qt::PlainText);
    if (ExecModalToOwners(box) != QMessageBox::Ok) {
        return;
    }
    // Nothing else is copied back after Clear, so nothing else is read or validated.
    m_form.OnClear();
    QDialog::done(IDOK);
}

int CQtScheduleTransferDialog::DoModal(CScheduleTransferForm& form) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return IDCANCEL;
    }
    CScheduleTransferDlg dlg(form, nullptr);
    return ExecModalToOwners(dlg) == IDOK ? IDOK : IDCANCEL;
}
