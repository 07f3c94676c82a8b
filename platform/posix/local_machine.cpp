#include "platform/local_machine.h"

#include "platform/posix/registry_file.h"

struct CLocalMachine::CNative {
    CRegistryFile file;
};

CLocalMachine::CLocalMachine() : m_pNative(std::make_unique<CNative>()) {}
CLocalMachine::~CLocalMachine() = default;
CLocalMachine::CLocalMachine(CLocalMachine&&) noexcept = default;
CLocalMachine& CLocalMachine::operator=(CLocalMachine&&) noexcept = default;

bool CLocalMachine::Load(std::string& sError) { return m_pNative->file.Load(sError); }

std::string CLocalMachine::Source() { return "Registry file " + CRegistryFile::ConfiguredPath(); }

bool CLocalMachine::HasKey(std::string_view sKey) const { return m_pNative->file.HasLocalMachineKey(sKey); }

bool CLocalMachine::FindValue(std::string_view sKey, std::string_view sName, CRegistryValue& value) const {
    const CRegistryValue* pValue = m_pNative->file.FindLocalMachineValue(sKey, sName);
    if (pValue == nullptr) return false;
    value = *pValue;
    return true;
}
