// Dialog templates built in memory, and the Monitor's dialog layouts in dialog units.
#pragma once

#include "frontend/win32/DialogWindow.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <vector>

namespace gui {

// The header, then the items, each on a DWORD boundary.
class CDialogTemplate {
public:
    CDialogTemplate(DWORD style, short cx, short cy, const wchar_t* title);

    // A control of a predefined class: 0x80 button, 0x81 edit, 0x82 static, 0x83 list box,
    // 0x85 combo box.
    void Item(DWORD style, short x, short y, short cx, short cy, int id, WORD atom,
              const wchar_t* text, DWORD exStyle = 0);
    // A control of a registered class (the common controls).
    void Item(DWORD style, short x, short y, short cx, short cy, int id, const wchar_t* className,
              DWORD exStyle = 0);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Begin(DWORD style, DWORD exStyle, short x, short y, short cx, short cy, int id);
    void End();
    void Words(std::initializer_list<WORD> words);
    void Dword(DWORD value);
    void Text(const wchar_t* text);

    std::vector<WORD> m_words;
    std::size_t m_countAt = 0;
};

CDialogTemplate MakeLayout(DialogLayout layout);

} // namespace gui
