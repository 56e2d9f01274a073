// The "Queue Transfers" dialog: every scheduled queue as one line holding its path, with Edit
// and Remove; its widgets are bound to a CQueueTransfersForm, which holds the rules.
#pragma once

#include "frontend/qt/dialogs/ScheduleTransferDlg.h"
#include "platform/Types.h"
#include "scheduler/QueueTransfersForm.h"

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

class CQueueTransfersDlg : public QDialog, private IQueueTransfersView {
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
    void ShowLines(const std::vector<std::string>& lines) override;
    BOOL Confirm(const std::string& text, const char* caption) override;
    void Warn(const std::string& text, const char* caption) override;
    int DoModal(CScheduleTransferForm& form) override { return m_scheduleDialog.DoModal(form); }

    CQueueTransfersForm m_form{*this};
    CQtScheduleTransferDialog m_scheduleDialog;
    bool m_bInitialised = false;
    bool m_bFilling = false;
};
