// The test directory for programs that cannot start slapd themselves (the
// Windows tests under wine): the one ctest started (slapd-fixture.sh), found
// by the address it wrote. Processes bind with a bind file: wine's Negotiate
// without credentials crashes.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/file_io.h"
#include "tests/support/slapd_directory.h"

namespace {

void SetVariable(const std::string& sName, const std::string& sValue) {
    if (_putenv_s(sName.c_str(), sValue.c_str()) != 0) throw std::runtime_error("cannot set " + sName);
}

}  // namespace

CSlapdDirectory::CSlapdDirectory() {
    std::ifstream file(KX_DIRECTORY_FIXTURE "/uri");
    std::getline(file, m_sUri);
    if (m_sUri.rfind("ldap://127.0.0.1:", 0) != 0) throw std::runtime_error("the directory fixture wrote no address");
    m_nPort = std::stoi(m_sUri.substr(17));
    m_sFolder = (std::filesystem::temp_directory_path() / "kx-directory-bind").generic_string();
    CPlatformFile bind;
    const std::string sText = "binddn=CN=admin,DC=kalyxa,DC=test\npassword=kalyxa-test-admin\n";
    if (bind.Open(m_sFolder, true) != PrivateAccess::READY ||
        bind.WriteAt(sText.data(), sText.size(), 0) != sText.size())
        throw std::runtime_error("cannot write the bind file " + m_sFolder);
}

void CSlapdDirectory::ServeThisProcess() {
    SetVariable("LDAPURI", m_sUri);
    SetVariable("QV_GC_URI", m_sUri);
    SetVariable("QV_LDAP_BIND_FILE", m_sFolder);
    m_bServesProcess = true;
}

CSlapdDirectory::~CSlapdDirectory() {
    if (m_bServesProcess)
        for (const char* pszName : {"LDAPURI", "QV_GC_URI", "QV_LDAP_BIND_FILE"}) _putenv_s(pszName, "");
}

std::string CSlapdDirectory::HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }
