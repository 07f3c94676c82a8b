// One user's attributes, found in the Global Catalog by one of eight kinds
// of identifier; each attribute is read once per object.
#ifndef KX_DIRECTORY_AD_USER_CONFIG_H
#define KX_DIRECTORY_AD_USER_CONFIG_H

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "directory/ad_prop.h"

class CADUserConfig {
public:
    // Which identity makes the directory calls.
    enum : DWORD { AS_CALLER = 0, AS_PROCESS = 1, AS_PROCESS_THEN_CALLER = 2, NOT_LEARNED = 3 };
    // What SetFilter's identifier is.
    enum : DWORD {
        ID_USER_PRINCIPAL_NAME = 1,
        ID_NAME = 2,
        ID_SMTP_ADDRESS = 3,
        ID_LEGACY_EXCHANGE_DN = 4,
        ID_X500_ADDRESS = 5,
        ID_SID = 6,
        ID_SID_OR_MASTER_ACCOUNT_SID = 7,
        ID_ACCOUNT_NAME = 8,
    };

    explicit CADUserConfig(DWORD dwConfigurationType = AS_CALLER) : m_dwConfigurationType(dwConfigurationType) {}
    virtual ~CADUserConfig() = default;

    // The user to find; the identifier is escaped as an LDAP filter value.
    void SetFilter(const std::string& sId, DWORD dwKind);
    // The attribute's values joined by ";", from the cache or the directory.
    HRESULT GetProperty(const std::string& sAttribute, std::string& sText);
    HRESULT ReadProperties(const std::string& sAttribute, std::shared_ptr<ADProp>& spProperty,
                           DWORD& dwConfigurationType);
    HRESULT GetDirectorySearch(const std::u16string& sPath, std::unique_ptr<IDirectorySearch>& spSearch);
    HRESULT FindUsers(IDirectorySearch* pSearch, const std::u16string& sFilter, const std::string& sAttribute,
                      std::string& sText);
    HRESULT ReadDefaultNamingContext();

    // The configuration type the process has found to work (NOT_LEARNED at first).
    static std::atomic<DWORD> s_dwLearnedConfigurationType;

    DWORD m_dwConfigurationType;
    std::u16string m_sDefaultNamingContext;
    std::string m_sFilter;
    std::map<std::string, std::shared_ptr<ADProp>> m_cache;
    std::u16string m_sBaseFilter = u"(objectClass=user)(objectCategory=person)";
    std::u16string m_sProvider = u"GC";
    std::u16string m_sDomainController;
    bool m_bUseNamingContext = false;

private:
    HRESULT ReadNamingContextAs(DWORD dwConfigurationType);
    std::u16string SearchPath() const;
};

#endif  // KX_DIRECTORY_AD_USER_CONFIG_H
