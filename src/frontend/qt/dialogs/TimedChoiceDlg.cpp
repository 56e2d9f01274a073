#include "frontend/qt/dialogs/TimedChoiceDlg.h"

#include "frontend/qt/platform/QtModal.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimerEvent>
#include <algorithm>

namespace {

QString FromText(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

// Etched separator above the buttons: a dark edge over a light one.
class CEtchedLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width(), 1, palette().color(QPalette::Dark));
        painter.fillRect(0, 1, width(), 1, palette().color(QPalette::Light));
    }
};

} // namespace

CTimedChoiceDlg::CTimedChoiceDlg(QWidget* pParent, const char* lpszCaption, const char* lpszMessage,
                                 DWORD nTimeout, int nDefaultButton, const char* lpszOkText,
                                 const char* lpszCancelText)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      m_choice(lpszCaption, lpszMessage, nTimeout, nDefaultButton, lpszOkText, lpszCancelText),
      m_btnOk(new QPushButton(this)), m_btnCancel(new QPushButton(this)),
      m_ctrlMessage(new QLabel(this)), m_ctrlIcon(new QLabel(this)), m_wndCountdown(this) {
    // Dialog units: a quarter of the average character width, an eighth of the line height.
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_nBaseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    m_nBaseY = metrics.height();

    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize((168 * m_nBaseX) / 4, (83 * m_nBaseY) / 8);

    m_btnOk->setObjectName(QStringLiteral("1"));
    m_btnOk->setText(QStringLiteral("OK"));
    m_btnOk->setDefault(true);
    Place(m_btnOk, 58, 66, 50, 14);
    m_btnCancel->setObjectName(QStringLiteral("2"));
    m_btnCancel->setText(QStringLiteral("Cancel"));
    Place(m_btnCancel, 114, 66, 50, 14);

    m_ctrlMessage->setObjectName(QString::number(IDC_MESSAGE));
    m_ctrlMessage->setTextFormat(Qt::PlainText);
    m_ctrlMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_ctrlMessage->setWordWrap(true);
    Place(m_ctrlMessage, 32, 12, 132, 34);

    m_pLine = new CEtchedLine(this);
    Place(m_pLine, 0, 62, 167, 1);
    m_pLine->resize(m_pLine->width(), 2);

    m_wndCountdown.setObjectName(QString::number(IDC_COUNTDOWN));
    m_wndCountdown.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Place(&m_wndCountdown, 4, 50, 160, 8);

    m_ctrlIcon->setObjectName(QString::number(IDC_ICON));
    m_ctrlIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(m_ctrlIcon, 6, 10, 20, 20);

    setTabOrder(m_btnOk, m_btnCancel);
    connect(m_btnOk, &QPushButton::clicked, this, &CTimedChoiceDlg::OnOK);
    connect(m_btnCancel, &QPushButton::clicked, this, &CTimedChoiceDlg::OnCancel);
}

CTimedChoiceDlg::~CTimedChoiceDlg() = default;

void CTimedChoiceDlg::Place(QWidget* control, int x, int y, int cx, int cy) const {
    control->setGeometry((x * m_nBaseX) / 4, (y * m_nBaseY) / 8, std::max(1, (cx * m_nBaseX) / 4),
                         std::max(1, (cy * m_nBaseY) / 8));
}

int CTimedChoiceDlg::DoModal() {
    // Every answer ends the dialog through OnOK or OnCancel; any other result means nobody
    // answered.
    const int result = ExecModalToOwners(*this);
    return result == IDOK || result == IDCANCEL ? result : IDNOANSWER;
}

void CTimedChoiceDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        OnInitDialog();
    }
}

BOOL CTimedChoiceDlg::OnInitDialog() {
    setWindowTitle(FromText(m_choice.m_strCaption));
    FitTitle();

    const int iconSize = std::min(m_ctrlIcon->width(), m_ctrlIcon->height());
    m_ctrlIcon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(std::min(iconSize, 32)));

    m_ctrlMessage->setText(FromText(m_choice.m_strMessage));
    m_btnOk->setText(FromText(m_choice.m_strOkText));
    m_btnCancel->setText(FromText(m_choice.m_strCancelText));

    m_wndCountdown.SetTextColor(CTimedChoice::kCountdownColor);

    m_choice.Start();
    UpdateCountdownText();
    m_timer.start(static_cast<int>(CTimedChoice::kTickMs), this);

    // Asked while the main window hides in the tray, so it must come to the front itself.
    // The offscreen platform has no window order and only complains when asked.
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        raise();
        activateWindow();
    }
    m_btnOk->setFocus();
    return TRUE;
}

void CTimedChoiceDlg::FitTitle() {
    // The title bar sets the caption in the desktop's title font, often bold, beside the
    // window's icon and buttons; a dialog narrower than that has its title cut short.
    QFont titleFont = font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int wanted =
        metrics.horizontalAdvance(windowTitle()) + kTitleBarRoomLines * metrics.height();
    const QScreen* where = screen();
    const int room = where != nullptr ? where->availableGeometry().width() : wanted;
    const int extra = std::min(wanted, room) - width();
    if (extra <= 0) {
        return;
    }
    // Wider, the buttons keep to the right edge and the lines across span the new width.
    setFixedWidth(width() + extra);
    for (QWidget* control : {static_cast<QWidget*>(m_btnOk), static_cast<QWidget*>(m_btnCancel)}) {
        control->move(control->x() + extra, control->y());
    }
    for (QWidget* control :
         {static_cast<QWidget*>(m_ctrlMessage), static_cast<QWidget*>(&m_wndCountdown), m_pLine}) {
        control->resize(control->width() + extra, control->height());
    }
}

void CTimedChoiceDlg::UpdateCountdownText() {
    m_wndCountdown.hide();
    m_wndCountdown.setText(FromText(m_choice.GetCountdownText()));
    m_wndCountdown.show();
}

void CTimedChoiceDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        OnTimer(CTimedChoice::kTimerId);
    } else {
        QDialog::timerEvent(event);
    }
}

void CTimedChoiceDlg::OnTimer(UINT nIDEvent) {
    if (!isVisible() || !m_timer.isActive()) {
        return;
    }
    int pressed = 0;
    if (m_choice.OnTimer(nIDEvent, pressed)) {
        UpdateCountdownText();
    }
    if (pressed == IDOK) {
        OnOK();
    } else if (pressed == IDCANCEL) {
        OnCancel();
    }
}

void CTimedChoiceDlg::OnOK() {
    m_choice.Stop();
    m_timer.stop();
    QDialog::done(IDOK);
}

void CTimedChoiceDlg::OnCancel() {
    m_choice.Stop();
    m_timer.stop();
    QDialog::done(IDCANCEL);
}
