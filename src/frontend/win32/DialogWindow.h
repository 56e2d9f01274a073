// The Monitor's modal dialogs on Win32, as the dialogs' bindings reach them: a dialog made from
// one of the layouts below (templates built in memory), its events, and what a binding does to
// its controls. Plain types only, like Gui.h: the bindings include the toolkit-free forms,
// whose types <windows.h> would clash with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

enum class DialogLayout {
    ScheduleTransfer, // "Schedule Transfer"
    QueueTransfers,   // "Queue Transfers"
    TimedChoice,      // the timed question
};

// Control ids of the layouts; 1 and 2 are the OK and Cancel buttons.
namespace ids {
constexpr int kOk = 1;
constexpr int kCancel = 2;
// Schedule Transfer
constexpr int kStartDate = 1242;
constexpr int kStartTime = 1243;
constexpr int kEndDate = 1244;
constexpr int kEndTime = 1245;
constexpr int kCheckEndDate = 1246;
constexpr int kUnit = 1248;
constexpr int kCount = 1249;
constexpr int kCountSpin = 1250;
constexpr int kOnce = 1251;
constexpr int kEvery = 1252;
constexpr int kClear = 1253;
constexpr int kDisable = 1254;
constexpr int kSeparator = 1255; // also the timed question's line across
// Queue Transfers
constexpr int kQueueList = 1000;
constexpr int kRemove = 1001;
constexpr int kEdit = 1002;
// The timed question
constexpr int kMessage = 1033;
constexpr int kCountdown = 1197;
constexpr int kIcon = 1032;
} // namespace ids

// Notification codes a binding tells apart in OnCommand.
constexpr unsigned kClicked = 0;       // a button, Enter (IDOK), Escape or the close box (IDCANCEL)
constexpr unsigned kListSelChange = 1; // the list's selection changed
constexpr unsigned kDateTimeChange = 2; // a date/time picker's value changed

// A picker's value: local calendar fields.
struct DateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What a dialog tells its binding.
class IDialogEvents {
public:
    virtual ~IDialogEvents() = default;
    // The controls exist; the focus goes to the first tab stop.
    virtual void OnInitDialog() = 0;
    virtual void OnCommand(int id, unsigned notification) = 0;
    virtual void OnTimer(unsigned /*id*/) {}
    // A static control's text colour (0x00BBGGRR), or -1 for the system's.
    virtual std::int64_t TextColor(int /*id*/) { return -1; }
};

// One modal run of a dialog. While it runs it is a question of the Monitor (IsAsking), and
// EndQuestions ends it without an answer.
class CModalDialog {
public:
    // The result passed to End, or 0 when the Monitor ended under the dialog. `owner` is
    // disabled while it runs; none: the dialog stands on its own.
    int Run(DialogLayout layout, IDialogEvents& events, void* owner = nullptr);
    void End(int result);
    void* Handle() const { return m_window; }

    void SetTitle(const std::string& text);
    // Asked while the main window hides in the tray: the dialog comes to the front itself.
    void BringToFront();
    void SetText(int id, const std::string& text);
    std::string Text(int id) const;
    void Enable(int id, bool enabled);
    void Check(int id, bool checked);
    bool IsChecked(int id) const;
    // Focus on the control; an edit's text is selected.
    void Focus(int id);
    // The pixels a date/time picker lacks to show its whole text, 0 when it has room.
    int MissingWidth(int id) const;
    // The pixels the dialog lacks to show its whole title, at most up to the screen's width.
    int MissingTitleWidth() const;
    // Moves a control `dx` pixels right and makes it `widen` pixels wider; id 0: the dialog.
    void MoveRight(int id, int dx, int widen);
    void ShowQuestionIcon(int id);

    // Date/time pickers.
    void SetPickerFormat(int id, const std::string& format);
    void SetPickerRange(int id, const DateTime& first, const DateTime& last);
    void SetPicker(int id, const DateTime& value);
    DateTime Picker(int id) const;

    // The up-down control's range and position; its buddy's text is left alone.
    void SetUpDown(int id, int lower, int upper, int position);

    // Combo boxes: items carrying a number each.
    void AddComboItem(int id, const std::string& text, int data);
    // Selects the first item carrying `data`; nothing when none does.
    void SelectComboData(int id, int data);
    // The number of the item the combo's text names (typed text is looked up, ignoring case),
    // -1 when it names none.
    int SelectedComboData(int id) const;
    void ShowComboDropDown(int id);

    // List boxes: the lines in this order, none selected.
    void SetListLines(int id, const std::vector<std::string>& lines);
    // The selected line's index, -1 for none.
    int SelectedListIndex(int id) const;

    bool SetTimer(unsigned id, unsigned elapseMs);
    void KillTimer(unsigned id);

    // Boxes owned by the dialog: OK/Cancel with the question icon (true for OK); OK with the
    // warning icon.
    bool Confirm(const std::string& text, const std::string& caption);
    void Warn(const std::string& text, const std::string& caption);

private:
    friend struct DialogProcedure;
    void* m_window = nullptr;
    IDialogEvents* m_events = nullptr;
};

} // namespace gui
