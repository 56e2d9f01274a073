// Named events and mutexes on Windows: the kernel's own objects in the session's namespace.
#include "platform/NamedObjects.h"

#include "platform/win32/Api.h"

struct NamedObject {
    win32::Handle native;
};

namespace {

thread_local DWORD t_lastError = 0;

// Keeps the call's error for GetLastError before anything else can change it.
HANDLE Wrap(win32::Handle native) {
    t_lastError = win32::LastError();
    return native != nullptr ? new NamedObject{native} : nullptr;
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}

std::string NamedObjectFolder(std::string*) {
    return "the session's object namespace";
}

HANDLE CreateEventA(void*, BOOL bManualReset, BOOL bInitialState, const char* lpName) {
    win32::SetLastError(0);
    return Wrap(win32::NewEvent(bManualReset != FALSE, bInitialState != FALSE, lpName));
}

HANDLE CreateMutexA(void*, BOOL bInitialOwner, const char* lpName) {
    win32::SetLastError(0);
    return Wrap(win32::NewMutex(bInitialOwner != FALSE, lpName));
}

HANDLE OpenEventA(DWORD dwDesiredAccess, BOOL, const char* lpName) {
    win32::SetLastError(0);
    return Wrap(win32::OpenExistingEvent(dwDesiredAccess, lpName));
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == nullptr) {
        return FALSE;
    }
    const bool closed = win32::CloseObject(hObject->native);
    delete hObject;
    return closed ? TRUE : FALSE;
}
