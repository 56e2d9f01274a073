// Text inside the program is UTF-8; these are the one place it is converted and compared.
//
// The conversions are lossless both ways for any input. Bytes that are not UTF-8 (a file name
// made in another locale) become the lone UTF-16 units U+DC80..U+DCFF and come back as the same
// bytes; a lone surrogate from UTF-16 becomes its three-byte form and goes back unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// UTF-16LE bytes (no byte-order mark) and back; an odd last byte is dropped by the caller's
// check, not here.
std::string Utf8ToUtf16Le(std::string_view utf8);
std::string Utf16LeToUtf8(std::string_view bytes);

// True when every byte is part of well-formed UTF-8 (no surrogates, nothing overlong).
bool IsUtf8(std::string_view bytes);

// How many UTF-16 units the text takes: what the registry's name limits count.
std::size_t Utf16Length(std::string_view utf8);

// The text as it fits in a field of at most `units` UTF-16 units (fixed-size system fields):
// whole when it fits, else cut between two characters and ended with "\u2026", so a cut is seen
// and never leaves half a surrogate pair.
std::string ClipToUtf16(std::string_view utf8, std::size_t units);

// The name as the registry compares it: every letter mapped to its simple uppercase (not only
// ASCII); bytes that are not UTF-8 stay as they are. Two names are the same when their folds
// are equal.
std::string FoldName(std::string_view name);
inline bool SameName(std::string_view a, std::string_view b) {
    return FoldName(a) == FoldName(b);
}

// 8-bit text of a Windows code page into UTF-8. The code pages known here: 1252 (Western),
// 1251 (Cyrillic) and 866 (Cyrillic, DOS).
bool KnownCodePage(int codePage);
std::string CodePageToUtf8(std::string_view bytes, int codePage);

#ifdef _WIN32
// For the Windows calls, whose wchar_t is a UTF-16 unit.
inline std::wstring ToWide(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}
inline std::string FromWide(std::wstring_view wide) {
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}
#endif

} // namespace text
