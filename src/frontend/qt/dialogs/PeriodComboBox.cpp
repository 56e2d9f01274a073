#include "frontend/qt/dialogs/PeriodComboBox.h"

#include "scheduler/ScheduleTransferForm.h"

CPeriodComboBox::CPeriodComboBox(QWidget* parent) : QComboBox(parent) {
    // A drop-down with an edit field, like the rest of the desktop's unit pickers; typed text
    // never becomes a new item.
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

CPeriodComboBox::~CPeriodComboBox() = default;

void CPeriodComboBox::Fill() {
    for (const auto& unit : CScheduleTransferForm::kUnits) {
        addItem(QString::fromLatin1(unit.text), unit.code);
    }
    // Adding the first item selects it; the unit is chosen by SelectUnit alone.
    setCurrentIndex(-1);
}

int CPeriodComboBox::GetSelectedUnit() const {
    int index = currentIndex();
    // Typing into the edit field leaves the previous item current; what counts is the text
    // the user sees, so it must name an item.
    if (isEditable() && (index < 0 || currentText() != itemText(index))) {
        index = findText(currentText().trimmed(), Qt::MatchFixedString);
    }
    return index < 0 ? CB_ERR : itemData(index).toInt();
}

void CPeriodComboBox::SelectUnit(int nUnit) {
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toInt() == nUnit) {
            setCurrentIndex(i);
            return;
        }
    }
}
