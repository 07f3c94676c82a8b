// A real directory server for tests: slapd on a free loopback port, with a
// temporary configuration, the test schema and the test directory loaded
// (a forest of two domains, each its own database and naming context);
// stopped and removed again on destruction. Needs no root and no service.
// The Windows tests use the one ctest started (fixture_directory.cpp), which
// they can neither change nor count.
#ifndef KX_TESTS_SLAPD_DIRECTORY_H
#define KX_TESTS_SLAPD_DIRECTORY_H

#include <sys/types.h>

#include <string>
#include <vector>

class CSlapdDirectory {
public:
    static constexpr const char* BASE = "DC=kalyxa,DC=test";
    static constexpr const char* SECOND_DOMAIN = "DC=emea,DC=kalyxa,DC=test";
    // The searches of one user look-up in the Global Catalog: its rootDSE,
    // then each naming context it lists (the two domains and an application
    // partition that holds no users, as Active Directory's DNS zones).
    static constexpr long SEARCHES_PER_LOOKUP = 4;
    static constexpr const char* SERVER_NAME = "MAIL01";

    // Throws std::runtime_error, with slapd's own output, when it cannot start.
    CSlapdDirectory();
    ~CSlapdDirectory();
    CSlapdDirectory(const CSlapdDirectory&) = delete;
    CSlapdDirectory& operator=(const CSlapdDirectory&) = delete;

    const std::string& Uri() const { return m_sUri; }  // "ldap://127.0.0.1:<port>"
    std::string HostPort() const;                      // "127.0.0.1:<port>"

    // Makes it this process's directory and Global Catalog (LDAPURI,
    // QV_GC_URI) until destruction.
    void ServeThisProcess();
    // Applies LDIF change records as the administrator of the domain.
    void Modify(const std::string& sLdif, const std::string& sDomain = BASE);
    // Searches the server has completed, not counting the ones made here.
    long CompletedSearches();

private:
    void Run(const std::vector<std::string>& arguments, const std::string& sWhat);

    std::string m_sFolder;  // on Windows, the bind file
    std::string m_sUri;
    int m_nPort = 0;
    pid_t m_pid = -1;
    long m_nOwnSearches = 0;
    bool m_bServesProcess = false;
};

#endif  // KX_TESTS_SLAPD_DIRECTORY_H
