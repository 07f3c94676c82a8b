#include "tests/support/slapd_directory.h"

#include <ldap.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/test_servers.h"

namespace {

constexpr const char* ADMIN_DN = "CN=admin,DC=kalyxa,DC=test";
constexpr const char* ADMIN_PASSWORD = "kalyxa-test-admin";  // as slapd.sh configures them
constexpr const char* SECOND_ADMIN_DN = "CN=admin,DC=emea,DC=kalyxa,DC=test";

std::string ReadFile(const std::string& sPath) {
    std::ifstream file(sPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

CSlapdDirectory::CSlapdDirectory() {
    char szFolder[] = "/tmp/kx-slapd-XXXXXX";
    if (::mkdtemp(szFolder) == nullptr) throw std::runtime_error("no temporary folder for slapd");
    m_sFolder = szFolder;
    for (int nAttempt = 0; nAttempt < 3 && m_pid < 0; ++nAttempt) {
        m_nPort = FreeLoopbackPort();
        m_sUri = "ldap://127.0.0.1:" + std::to_string(m_nPort);
        // Configures and loads the folder on its first run, then becomes slapd.
        const pid_t pid = Spawn({std::string(KX_TEST_DATA) + "/../support/slapd.sh", m_sFolder, std::to_string(m_nPort)},
                                m_sFolder + "/slapd.log");
        for (int nWait = 0; nWait < 200; ++nWait) {
            // Our slapd writes its pid file once it listens; another server
            // may hold the port when it failed.
            if (ReadFile(m_sFolder + "/slapd.pid").find(std::to_string(pid)) == 0 && Accepts(m_nPort)) {
                m_pid = pid;
                break;
            }
            int nStatus = 0;
            if (::waitpid(pid, &nStatus, WNOHANG) == pid) break;  // it gave up (the port was taken)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (m_pid < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    if (m_pid < 0) {
        const std::string sLog = ReadFile(m_sFolder + "/slapd.log");
        std::filesystem::remove_all(m_sFolder);
        throw std::runtime_error("slapd did not start: " + sLog);
    }
}

void CSlapdDirectory::ServeThisProcess() {
    ::setenv("LDAPURI", m_sUri.c_str(), 1);
    ::setenv("QV_GC_URI", m_sUri.c_str(), 1);
    m_bServesProcess = true;
}

CSlapdDirectory::~CSlapdDirectory() {
    if (m_bServesProcess) {
        ::unsetenv("LDAPURI");
        ::unsetenv("QV_GC_URI");
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::error_code error;
    std::filesystem::remove_all(m_sFolder, error);
}

std::string CSlapdDirectory::HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }

void CSlapdDirectory::Run(const std::vector<std::string>& arguments, const std::string& sWhat) {
    const std::string sLog = m_sFolder + "/" + sWhat + ".log";
    const pid_t pid = Spawn(arguments, sLog);
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        throw std::runtime_error(sWhat + " failed: " + ReadFile(sLog));
}

void CSlapdDirectory::Modify(const std::string& sLdif, const std::string& sDomain) {
    const std::string sFile = m_sFolder + "/change.ldif";
    std::ofstream(sFile) << sLdif;
    const char* pszAdmin = sDomain == SECOND_DOMAIN ? SECOND_ADMIN_DN : ADMIN_DN;
    Run({"ldapmodify", "-x", "-H", m_sUri, "-D", pszAdmin, "-w", ADMIN_PASSWORD, "-f", sFile}, "ldapmodify");
}

// slapd counts a search as completed only after its answer has gone out, so
// a client may already hold the answer when the count still lags. The count
// is read once every search but the reading one itself has completed.
long CSlapdDirectory::CompletedSearches() {
    LDAP* pLdap = nullptr;
    if (ldap_initialize(&pLdap, m_sUri.c_str()) != LDAP_SUCCESS) throw std::runtime_error("cannot reach slapd");
    const int nVersion = LDAP_VERSION3;
    ldap_set_option(pLdap, LDAP_OPT_PROTOCOL_VERSION, &nVersion);
    berval password{0, nullptr};
    ldap_sasl_bind_s(pLdap, nullptr, LDAP_SASL_SIMPLE, &password, nullptr, nullptr, nullptr);
    char szInitiated[] = "monitorOpInitiated";
    char szCompleted[] = "monitorOpCompleted";
    char* attributes[] = {szInitiated, szCompleted, nullptr};
    const auto readCount = [&](LDAPMessage* pEntry, char* pszAttribute) {
        long nCount = -1;
        if (berval** ppValues = ldap_get_values_len(pLdap, pEntry, pszAttribute)) {
            nCount = std::atol(std::string(ppValues[0]->bv_val, ppValues[0]->bv_len).c_str());
            ldap_value_free_len(ppValues);
        }
        return nCount;
    };
    long nCompleted = -1;
    bool bSettled = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!bSettled && std::chrono::steady_clock::now() < deadline) {
        LDAPMessage* pResult = nullptr;
        long nInitiated = -1;
        nCompleted = -1;
        if (ldap_search_ext_s(pLdap, "cn=Search,cn=Operations,cn=Monitor", LDAP_SCOPE_BASE, "(objectClass=*)",
                              attributes, 0, nullptr, nullptr, nullptr, 0, &pResult) == LDAP_SUCCESS) {
            if (LDAPMessage* pEntry = ldap_first_entry(pLdap, pResult)) {
                nInitiated = readCount(pEntry, szInitiated);
                nCompleted = readCount(pEntry, szCompleted);
            }
        }
        if (pResult != nullptr) ldap_msgfree(pResult);
        ++m_nOwnSearches;
        if (nCompleted < 0) break;
        bSettled = nInitiated - nCompleted == 1;
        if (!bSettled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ldap_unbind_ext_s(pLdap, nullptr, nullptr);
    if (nCompleted < 0) throw std::runtime_error("slapd's monitor gave no search count");
    if (!bSettled) throw std::runtime_error("slapd's search count did not settle");
    return nCompleted - (m_nOwnSearches - 1);
}
