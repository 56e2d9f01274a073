#include "platform/WinApp.h"

#include <cstring>
#include <vector>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWinApp::CWinApp() {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

void CWinApp::SetRegistryKey(const char* company) {
    m_strRegistryKey = company != nullptr ? company : "";
}

std::string CWinApp::GetProfileRoot() const {
    if (m_strRegistryKey.empty()) {
        return {};
    }
    return "Software\\" + m_strRegistryKey + "\\" + m_pszProfileName;
}

bool CWinApp::ReadValue(const char* section, const char* entry, DWORD* type, std::string* data) {
    const std::string root = GetProfileRoot();
    if (root.empty() || section == nullptr) {
        return false;
    }
    const std::string path = root + "\\" + section;
    // Most values fit a small buffer, so one query usually does; a larger one is read again
    // with the size reported (it may change in between: read until the buffer is large enough).
    DWORD size = 256;
    for (int attempt = 0; attempt < 8; ++attempt) {
        data->resize(size);
        DWORD got = size;
        const LSTATUS rc = RegQueryValueAtA(HKEY_CURRENT_USER, path.c_str(), entry, type,
                                            reinterpret_cast<BYTE*>(data->data()), &got);
        if (rc == ERROR_SUCCESS) {
            data->resize(got);
            return true;
        }
        if (rc != ERROR_MORE_DATA) {
            return false;
        }
        size = got;
    }
    return false;
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int nDefault) {
    DWORD type = 0;
    std::string data;
    if (!ReadValue(section, entry, &type, &data) || type != REG_DWORD || data.size() != 4) {
        return static_cast<UINT>(nDefault);
    }
    DWORD value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<BYTE>(data[static_cast<std::size_t>(i)]);
    }
    return value;
}

std::string CWinApp::GetProfileString(const char* section, const char* entry,
                                      const char* lpszDefault) {
    DWORD type = 0;
    std::string data;
    if (!ReadValue(section, entry, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return lpszDefault != nullptr ? std::string(lpszDefault) : std::string();
    }
    // Stored texts end in a NUL; the text is what comes before the first one.
    const auto nul = data.find('\0');
    if (nul != std::string::npos) {
        data.resize(nul);
    }
    return data;
}

BOOL CWinApp::GetProfileBinary(const char* section, const char* entry,
                               std::unique_ptr<BYTE[]>* ppData, UINT* pBytes) {
    ppData->reset();
    *pBytes = 0;
    DWORD type = 0;
    std::string data;
    if (!ReadValue(section, entry, &type, &data) || type != REG_BINARY) {
        return FALSE;
    }
    auto buffer = std::make_unique<BYTE[]>(data.size() > 0 ? data.size() : 1);
    std::memcpy(buffer.get(), data.data(), data.size());
    *ppData = std::move(buffer);
    *pBytes = static_cast<UINT>(data.size());
    return TRUE;
}

BOOL CWinApp::WriteValue(const char* section, const char* entry, DWORD type, const BYTE* data,
                         DWORD size) {
    const std::string root = GetProfileRoot();
    if (root.empty() || section == nullptr) {
        return FALSE;
    }
    CRegKey key;
    if (key.Create(HKEY_CURRENT_USER, (root + "\\" + section).c_str(), KEY_WRITE) !=
        ERROR_SUCCESS) {
        return FALSE;
    }
    return RegSetValueExA(key.Get(), entry, 0, type, data, size) == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int nValue) {
    const auto value = static_cast<DWORD>(nValue);
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return WriteValue(section, entry, REG_DWORD, bytes, 4);
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* lpszValue) {
    const std::string text = lpszValue != nullptr ? lpszValue : "";
    return WriteValue(section, entry, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                      static_cast<DWORD>(text.size() + 1));
}

BOOL CWinApp::WriteProfileBinary(const char* section, const char* entry, const BYTE* pData,
                                 UINT nBytes) {
    return WriteValue(section, entry, REG_BINARY, pData, nBytes);
}
