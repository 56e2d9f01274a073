#include "frontend/qt/dialogs/QueueTransfersDlg.h"

#include "frontend/qt/dialogs/DialogUnits.h"
#include "frontend/qt/platform/QtModal.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The exact bytes of the stored path travel with the line, so that a path that is not valid
// UTF-8 is still found again.
constexpr int kPathRole = Qt::UserRole;

QString ToDisplay(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

} // namespace

CQueueTransfersDlg::CQueueTransfersDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QString::fromLatin1(CQueueTransfersForm::kTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const CDialogUnits units(font());

    // Created in the layout's order, which is also the tab order.
    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnOK->setDefault(true);
    m_btnOK->setGeometry(units.Rect(236, 118, 50, 14));

    m_listQueues = new QListWidget(this);
    m_listQueues->setObjectName(QString::number(IDC_QUEUE_LIST));
    m_listQueues->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listQueues->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listQueues->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listQueues->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_listQueues->setGeometry(units.Rect(4, 18, 228, 114));

    auto* label = new QLabel(QStringLiteral("Scheduled Queue Transfers:"), this);
    label->setGeometry(units.Rect(4, 6, 154, 8)
                           .united(QRect(units.X(4), units.Y(6), 1, label->sizeHint().height())));

    m_btnRemove = new QPushButton(QStringLiteral("Remove"), this);
    m_btnRemove->setObjectName(QString::number(IDC_REMOVE));
    m_btnRemove->setEnabled(false);
    m_btnRemove->setGeometry(units.Rect(236, 34, 50, 14));

    m_btnEdit = new QPushButton(QStringLiteral("Edit"), this);
    m_btnEdit->setObjectName(QString::number(IDC_EDIT));
    m_btnEdit->setEnabled(false);
    m_btnEdit->setGeometry(units.Rect(236, 18, 50, 14));

    for (QPushButton* button : {m_btnOK, m_btnRemove, m_btnEdit}) {
        button->resize(button->size().expandedTo(QSize(0, button->sizeHint().height())));
    }
    setTabOrder(m_btnOK, m_listQueues);
    setTabOrder(m_listQueues, m_btnRemove);
    setTabOrder(m_btnRemove, m_btnEdit);

    setFixedSize(units.X(290), qMax(units.Y(137), m_btnOK->geometry().bottom() + units.Y(4)));

    connect(m_btnEdit, &QPushButton::clicked, this, [this] { OnEdit(); });
    connect(m_btnRemove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(m_btnOK, &QPushButton::clicked, this, [this] { done(IDOK); });
    connect(m_listQueues, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_bFilling) {
            OnSelChangeList();
        }
    });
}

CQueueTransfersDlg::~CQueueTransfersDlg() = default;

void CQueueTransfersDlg::setVisible(bool visible) {
    if (visible && !m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

BOOL CQueueTransfersDlg::OnInitDialog() {
    FillList();
    m_btnOK->setFocus();
    return TRUE;
}

void CQueueTransfersDlg::FillList() {
    m_form.FillList();
}

void CQueueTransfersDlg::ShowLines(const std::vector<std::string>& lines) {
    // Emptying the list is not the user's selection change: Edit and Remove keep their state.
    m_bFilling = true;
    m_listQueues->setUpdatesEnabled(false);
    m_listQueues->clear();
    for (const std::string& name : lines) {
        auto* item = new QListWidgetItem(ToDisplay(name));
        item->setData(kPathRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        m_listQueues->addItem(item);
    }
    m_listQueues->setUpdatesEnabled(true);
    m_listQueues->viewport()->update();
    m_bFilling = false;
}

BOOL CQueueTransfersDlg::Confirm(const std::string& text, const char* caption) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(caption), ToDisplay(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    // A path is shown as it is, never interpreted as markup.
    box.setTextFormat(Qt::PlainText);
    return ExecModalToOwners(box) == QMessageBox::Ok ? TRUE : FALSE;
}

void CQueueTransfersDlg::Warn(const std::string& text, const char* caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(caption), ToDisplay(text),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    ExecModalToOwners(box);
}

void CQueueTransfersDlg::GetSelectedName(std::string& name) const {
    name.clear();
    const QList<QListWidgetItem*> selected = m_listQueues->selectedItems();
    if (!selected.isEmpty()) {
        name = selected.front()->data(kPathRole).toByteArray().toStdString();
    }
}

void CQueueTransfersDlg::OnSelChangeList() {
    const bool selected = !m_listQueues->selectedItems().isEmpty();
    m_btnEdit->setEnabled(selected);
    m_btnRemove->setEnabled(selected);
}

void CQueueTransfersDlg::OnEdit() {
    std::string name;
    GetSelectedName(name);
    m_form.OnEdit(name);
}

void CQueueTransfersDlg::OnRemove() {
    std::string name;
    GetSelectedName(name);
    m_form.OnRemove(name);
}
