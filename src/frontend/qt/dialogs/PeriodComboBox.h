// The period unit combo box: the five unit names in a fixed order, each carrying its unit code.
#pragma once

#include "scheduler/ScheduleTransferForm.h"

#include <QComboBox>

// The combo box's answer when no item is selected.
constexpr int CB_ERR = CScheduleTransferForm::kNoUnit;

class CPeriodComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CPeriodComboBox(QWidget* parent = nullptr);
    ~CPeriodComboBox() override;

    // Adds the unit names in code order; the list is never sorted.
    void Fill();
    // The unit code of the item shown, CB_ERR when none is.
    int GetSelectedUnit() const;
    // Selects the first item carrying `nUnit`; an unknown code leaves the selection alone.
    void SelectUnit(int nUnit);
};
