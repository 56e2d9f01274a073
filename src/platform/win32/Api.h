// The Windows calls the Win32 backends make, declared with plain types. <windows.h> defines
// DWORD, LONG and many constants differently from platform/Types.h, so it is included in
// Api.cpp alone; the backends include this instead.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

using Handle = void*;
using Dword = std::uint32_t;

// Registry (advapi32). Results are Windows error codes.
Handle RootKey(bool currentUser);
long OpenKey(Handle key, const char* subKey, Dword sam, Handle* out);
long CreateKey(Handle key, const char* subKey, Dword sam, Handle* out, Dword* disposition);
long CloseKey(Handle key);
long EnumKey(Handle key, Dword index, char* name, Dword cchName);
long EnumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type, std::uint8_t* data,
               Dword* cbData);
long QueryValue(Handle key, const char* name, Dword* type, std::uint8_t* data, Dword* cbData);
long SetValue(Handle key, const char* name, Dword type, const std::uint8_t* data, Dword cbData);
long DeleteValue(Handle key, const char* name);
long DeleteKey(Handle key, const char* subKey);
long DeleteTree(Handle key, const char* subKey);

// Kernel objects (kernel32). Null on failure; LastError() tells why.
Handle NewEvent(bool manualReset, bool initialState, const char* name);
Handle NewMutex(bool initialOwner, const char* name);
Handle OpenExistingEvent(Dword access, const char* name);
bool CloseObject(Handle handle);
// Waits for a mutex without limit; true once this thread owns it (also when abandoned).
bool WaitForMutex(Handle mutex);
bool ReleaseMutex(Handle mutex);
Dword LastError();
void SetLastError(Dword error);

Dword TickCount();

// The system's text for an error code, without the full stop and line end; `subject` stands
// in for the "%1" some texts have.
std::string ErrorText(Dword error, const std::string& subject = "%1");

} // namespace win32
