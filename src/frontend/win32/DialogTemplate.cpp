#include "frontend/win32/DialogTemplate.h"

#include <commctrl.h>

namespace gui {

namespace {

constexpr WORD kButtonClass = 0x80;
constexpr WORD kEditClass = 0x81;
constexpr WORD kStaticClass = 0x82;
constexpr WORD kListBoxClass = 0x83;
constexpr WORD kComboBoxClass = 0x85;
constexpr int kNoId = -1;
constexpr DWORD kModal = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;

CDialogTemplate ScheduleTransferLayout() {
    using namespace ids;
    CDialogTemplate layout(kModal, 172, 145, L"Schedule Transfer");
    // Typed dates and times are the picker's own business: no DTS_APPCANPARSE, which would
    // hand them to a parser this dialog does not have.
    const DWORD date = WS_TABSTOP | DTS_LONGDATEFORMAT | DTS_RIGHTALIGN;
    const DWORD time = WS_TABSTOP | DTS_TIMEFORMAT | DTS_RIGHTALIGN;
    layout.Item(date, 6, 20, 112, 12, kStartDate, DATETIMEPICK_CLASSW);
    layout.Item(time, 122, 20, 44, 12, kStartTime, DATETIMEPICK_CLASSW);
    layout.Item(BS_AUTOCHECKBOX | WS_TABSTOP, 6, 44, 46, 8, kCheckEndDate, kButtonClass,
                L"End Date:");
    layout.Item(date, 6, 56, 112, 12, kEndDate, DATETIMEPICK_CLASSW);
    layout.Item(time, 122, 56, 44, 12, kEndTime, DATETIMEPICK_CLASSW);
    layout.Item(WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL | ES_RIGHT, 78, 92, 40, 12,
                kCount, kEditClass, L"");
    // Right after the count, so that it takes the count as its buddy; no thousands separators,
    // which the count's digits-only edit would then refuse.
    layout.Item(UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_HOTTRACK |
                    UDS_NOTHOUSANDS,
                62, 92, 8, 14, kCountSpin, UPDOWN_CLASSW);
    layout.Item(CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 122, 92, 44, 72, kUnit, kComboBoxClass,
                L"");
    layout.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 8, 126, 50, 14, kOk, kButtonClass, L"OK");
    layout.Item(BS_PUSHBUTTON | WS_TABSTOP, 116, 126, 50, 14, kCancel, kButtonClass, L"Cancel");
    layout.Item(WS_GROUP, 6, 8, 46, 8, kNoId, kStaticClass, L"Start Date:");
    layout.Item(SS_ETCHEDHORZ, 0, 120, 172, 1, kSeparator, kStaticClass, L"");
    layout.Item(BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 6, 78, 58, 10, kOnce, kButtonClass,
                L"Transfer once");
    layout.Item(BS_AUTORADIOBUTTON, 70, 78, 61, 10, kEvery, kButtonClass, L"Transfer every:");
    layout.Item(BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 62, 126, 50, 14, kClear, kButtonClass,
                L"Clear");
    layout.Item(BS_AUTOCHECKBOX | WS_TABSTOP, 8, 106, 40, 10, kDisable, kButtonClass, L"Disable");
    return layout;
}

CDialogTemplate QueueTransfersLayout() {
    using namespace ids;
    CDialogTemplate layout(kModal, 290, 137, L"");
    layout.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 236, 118, 50, 14, kOk, kButtonClass, L"OK");
    // Not sorted by the list box: the lines come sorted, and their order is their index.
    layout.Item(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, 4, 18,
                228, 114, kQueueList, kListBoxClass, L"", WS_EX_STATICEDGE);
    layout.Item(WS_GROUP, 4, 6, 154, 8, kNoId, kStaticClass, L"Scheduled Queue Transfers:");
    layout.Item(BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 236, 34, 50, 14, kRemove, kButtonClass,
                L"Remove", WS_EX_STATICEDGE);
    layout.Item(BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 236, 18, 50, 14, kEdit, kButtonClass,
                L"Edit", WS_EX_STATICEDGE);
    return layout;
}

CDialogTemplate TimedChoiceLayout() {
    using namespace ids;
    CDialogTemplate layout(kModal, 168, 83, L"");
    layout.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, 58, 66, 50, 14, kOk, kButtonClass, L"OK");
    layout.Item(WS_TABSTOP | BS_PUSHBUTTON, 114, 66, 50, 14, kCancel, kButtonClass, L"Cancel");
    layout.Item(SS_LEFT | SS_NOPREFIX | WS_GROUP, 32, 12, 132, 34, kMessage, kStaticClass, L"");
    layout.Item(SS_ETCHEDHORZ, 0, 62, 167, 1, kSeparator, kStaticClass, L"");
    layout.Item(SS_CENTER | SS_NOPREFIX | WS_GROUP, 4, 50, 160, 8, kCountdown, kStaticClass, L"");
    layout.Item(SS_ICON, 6, 10, 20, 20, kIcon, kStaticClass, L"");
    return layout;
}

} // namespace

CDialogTemplate::CDialogTemplate(DWORD style, short cx, short cy, const wchar_t* title) {
    Dword(style | DS_SETFONT);
    Dword(0);
    m_countAt = m_words.size();
    m_words.push_back(0);
    Words({0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy)});
    Words({0, 0}); // no menu, the dialog class
    Text(title);
    m_words.push_back(8);
    Text(L"MS Shell Dlg");
}

void CDialogTemplate::Item(DWORD style, short x, short y, short cx, short cy, int id, WORD atom,
                           const wchar_t* text, DWORD exStyle) {
    Begin(style, exStyle, x, y, cx, cy, id);
    Words({0xFFFF, atom});
    Text(text);
    End();
}

void CDialogTemplate::Item(DWORD style, short x, short y, short cx, short cy, int id,
                           const wchar_t* className, DWORD exStyle) {
    Begin(style, exStyle, x, y, cx, cy, id);
    Text(className);
    Text(L"");
    End();
}

void CDialogTemplate::Begin(DWORD style, DWORD exStyle, short x, short y, short cx, short cy,
                            int id) {
    if (m_words.size() % 2 != 0) {
        m_words.push_back(0);
    }
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(exStyle);
    Words({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx), static_cast<WORD>(cy),
           static_cast<WORD>(id)});
}

void CDialogTemplate::End() {
    m_words.push_back(0); // no creation data
    ++m_words[m_countAt];
}

// One word at a time: a vector insert of a list trips a false overflow warning of GCC 12.
void CDialogTemplate::Words(std::initializer_list<WORD> words) {
    for (const WORD word : words) {
        m_words.push_back(word);
    }
}

void CDialogTemplate::Dword(DWORD value) {
    m_words.push_back(LOWORD(value));
    m_words.push_back(HIWORD(value));
}

void CDialogTemplate::Text(const wchar_t* text) {
    do {
        m_words.push_back(static_cast<WORD>(*text));
    } while (*text++ != L'\0');
}

CDialogTemplate MakeLayout(DialogLayout layout) {
    switch (layout) {
    case DialogLayout::ScheduleTransfer:
        return ScheduleTransferLayout();
    case DialogLayout::QueueTransfers:
        return QueueTransfersLayout();
    case DialogLayout::TimedChoice:
        break;
    }
    return TimedChoiceLayout();
}

} // namespace gui
