// The "Queue Transfers" dialog: every scheduled queue as one line holding its path, with Edit
// and Remove. Lines carry only the path; each action looks the path up again in the store,
// because the scheduler may rewrite or delete entries while the dialog is open.
#pragma once

#include "platform/Types.h"
#include "scheduler/QueueScheduleDB.h"

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

class CQueueTransfersDlg : public QDialog {
    Q_OBJECT
public:
    enum {
        IDC_QUEUE_LIST = 1000,
        IDC_REMOVE = 1001,
        IDC_EDIT = 1002,
    };

    explicit CQueueTransfersDlg(QWidget* pParent = nullptr);
    ~CQueueTransfersDlg() override;

    // Rebuilds the list from the store; the selection is gone afterwards.
    void FillList();
    // The path of the selected line, empty when no line is selected.
    void GetSelectedName(std::string& name) const;

    void OnSelChangeList();
    void OnEdit();
    void OnRemove();

    QPushButton* m_btnRemove;
    QPushButton* m_btnEdit;
    QListWidget* m_listQueues;
    QPushButton* m_btnOK;

protected:
    virtual BOOL OnInitDialog();
    void setVisible(bool visible) override;

private:
    // Tells the user of a change the store refused; refreshes the list when the entry changed
    // under the dialog.
    void Save(CQueueScheduleDB::Change change);
    // Adds a line where the list's case-insensitive order puts it.
    void AddString(const std::string& name);

    bool m_bInitialised = false;
    bool m_bFilling = false;
};
