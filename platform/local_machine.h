// What the worker reads of HKEY_LOCAL_MACHINE: the registry itself on
// Windows; on POSIX its stand-in, a ".reg" export (platform/posix/registry_file.h).
#ifndef KX_PLATFORM_LOCAL_MACHINE_H
#define KX_PLATFORM_LOCAL_MACHINE_H

#include <memory>
#include <string>
#include <string_view>

#include "base/win_errors.h"

constexpr DWORD REG_OTHER = 0xFFFFFFFF;  // binary and other kinds the worker does not read

struct CRegistryValue {
    DWORD dwType = REG_OTHER;
    std::string sText;  // of REG_SZ, UTF-8
    DWORD dwValue = 0;  // of REG_DWORD
};

class CLocalMachine {
public:
    CLocalMachine();
    ~CLocalMachine();
    CLocalMachine(CLocalMachine&&) noexcept;
    CLocalMachine& operator=(CLocalMachine&&) noexcept;

    // Makes the keys readable; false (sError saying why, and no keys) when
    // their source cannot be used.
    bool Load(std::string& sError);
    // Where the keys come from, for messages ("Registry file PATH").
    static std::string Source();

    // sKey is a path under HKEY_LOCAL_MACHINE ("Software\\Quorvane\\Kalyxa");
    // keys and value names are matched ignoring case.
    bool HasKey(std::string_view sKey) const;
    bool FindValue(std::string_view sKey, std::string_view sName, CRegistryValue& value) const;

private:
    struct CNative;
    std::unique_ptr<CNative> m_pNative;
};

#endif  // KX_PLATFORM_LOCAL_MACHINE_H
