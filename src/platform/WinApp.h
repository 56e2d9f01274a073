// The application object's profile: integer, text and binary values in sections below
// HKEY_CURRENT_USER\Software\<registry key>\<profile name>, as the framework's application
// class offers them.
#pragma once

#include "platform/Types.h"
#include "platform/registry/Registry.h"

#include <memory>
#include <string>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Roots the profile at Software\<company>\<current profile name>.
    void SetRegistryKey(const char* company);
    void SetProfileName(const char* name) { m_pszProfileName = name != nullptr ? name : ""; }
    // "Software\<registry key>\<profile name>", or empty before SetRegistryKey.
    std::string GetProfileRoot() const;

    // The 32-bit integer, or the default when the value is absent or not a 32-bit integer.
    UINT GetProfileInt(const char* section, const char* entry, int nDefault);
    // The text, or the default (null gives an empty text) when absent or not text.
    std::string GetProfileString(const char* section, const char* entry,
                                 const char* lpszDefault = nullptr);
    // TRUE with a new buffer owned by the caller; FALSE and a null buffer when absent or not
    // binary.
    BOOL GetProfileBinary(const char* section, const char* entry, std::unique_ptr<BYTE[]>* ppData,
                          UINT* pBytes);

    // Create missing keys and store the value; TRUE on success.
    BOOL WriteProfileInt(const char* section, const char* entry, int nValue);
    BOOL WriteProfileString(const char* section, const char* entry, const char* lpszValue);
    BOOL WriteProfileBinary(const char* section, const char* entry, const BYTE* pData, UINT nBytes);

    std::string m_strRegistryKey;
    std::string m_pszProfileName;
    // The program's name as its user knows it; it titles the framework's own messages.
    std::string m_pszAppName;

private:
    bool ReadValue(const char* section, const char* entry, DWORD* type, std::string* data);
    BOOL WriteValue(const char* section, const char* entry, DWORD type, const BYTE* data,
                    DWORD size);
};

// The running application object (the last one constructed and not yet destroyed).
CWinApp* AfxGetApp();
