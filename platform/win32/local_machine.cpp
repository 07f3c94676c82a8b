#include "platform/local_machine.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace {

// The 64-bit view, whatever the process: where Exchange writes its keys.
constexpr REGSAM READ_ACCESS = KEY_QUERY_VALUE | KEY_WOW64_64KEY;

}  // namespace

// The registry needs nothing loaded: each question opens its key.
struct CLocalMachine::CNative {};

CLocalMachine::CLocalMachine() : m_pNative(std::make_unique<CNative>()) {}
CLocalMachine::~CLocalMachine() = default;
CLocalMachine::CLocalMachine(CLocalMachine&&) noexcept = default;
CLocalMachine& CLocalMachine::operator=(CLocalMachine&&) noexcept = default;

bool CLocalMachine::Load(std::string&) { return true; }

std::string CLocalMachine::Source() { return "The registry"; }

bool CLocalMachine::HasKey(std::string_view sKey) const {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(std::string(sKey)).c_str(), 0, READ_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

bool CLocalMachine::FindValue(std::string_view sKey, std::string_view sName, CRegistryValue& value) const {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(std::string(sKey)).c_str(), 0, READ_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    const std::wstring sWideName = Widen(std::string(sName));
    DWORD dwType = 0, cbData = 0;
    LSTATUS status = RegQueryValueExW(hKey, sWideName.c_str(), nullptr, &dwType, nullptr, &cbData);
    value = {};
    if (status == ERROR_SUCCESS && dwType == REG_DWORD && cbData == sizeof(DWORD)) {
        status = RegQueryValueExW(hKey, sWideName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value.dwValue),
                                  &cbData);
        value.dwType = REG_DWORD;
    } else if (status == ERROR_SUCCESS && dwType == REG_SZ) {
        // A value need not end in a null; one more character is kept for it.
        std::wstring sText(cbData / sizeof(wchar_t) + 1, L'\0');
        cbData = static_cast<DWORD>(sText.size() * sizeof(wchar_t));
        status =
            RegQueryValueExW(hKey, sWideName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(sText.data()), &cbData);
        sText.resize(cbData / sizeof(wchar_t));
        while (!sText.empty() && sText.back() == L'\0') sText.pop_back();
        value.sText = Narrow(sText.c_str(), sText.size());
        value.dwType = REG_SZ;
    }
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}
