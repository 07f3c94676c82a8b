// The registry stand-in: a file in the ".reg" export format ("Windows
// Registry Editor Version 5.00", [key] lines, "name"=dword:XXXXXXXX and
// "name"="text" values). Its path comes from QV_REGISTRY_FILE, else
// /etc/quorvane/registry.reg; a missing file means missing keys.
#ifndef KX_PLATFORM_POSIX_REGISTRY_FILE_H
#define KX_PLATFORM_POSIX_REGISTRY_FILE_H

#include <map>
#include <string>
#include <string_view>

#include "platform/local_machine.h"

class CRegistryFile {
public:
    // Parses the text; false (sError saying where, and no keys at all) when
    // it is not a well-formed .reg export. Keys and value names are matched
    // ignoring ASCII case.
    bool Parse(std::string_view sText, std::string& sError);
    // Reads the configured file; an unreadable or missing file gives no keys.
    bool Load(std::string& sError);
    static std::string ConfiguredPath();

    // sKey is a path under HKEY_LOCAL_MACHINE ("Software\\Quorvane\\Kalyxa").
    bool HasLocalMachineKey(std::string_view sKey) const;
    const CRegistryValue* FindLocalMachineValue(std::string_view sKey, std::string_view sName) const;

private:
    // Upper-cased full key path -> upper-cased value name -> value.
    std::map<std::string, std::map<std::string, CRegistryValue>> m_keys;
};

#endif  // KX_PLATFORM_POSIX_REGISTRY_FILE_H
