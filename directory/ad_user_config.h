// One user's attributes, found in the Global Catalog by one of eight kinds
// of identifier; each attribute is read once per object, and several can be
// read in one search.
#ifndef KX_DIRECTORY_AD_USER_CONFIG_H
#define KX_DIRECTORY_AD_USER_CONFIG_H

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "platform/adsi.h"

// Attribute names and their values joined by ";"; an attribute the user
// lacks is not there.
typedef std::map<std::string, std::string, CNoCaseLess> CUserAttributeTexts;

// The identifier names more than one user (an account name in two domains).
constexpr HRESULT E_ADS_USER_NOT_UNIQUE = static_cast<HRESULT>(0x800720EA);

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
    // The attribute's values joined by ";", from the cache or the directory;
    // E_ADS_PROPERTY_NOT_FOUND when the user has none, E_FAIL when no user
    // matches, E_ADS_USER_NOT_UNIQUE when several do.
    HRESULT GetProperty(const std::string& sAttribute, std::string& sText);
    // Several attributes in one search: S_OK when the user was found, with
    // the values the user has.
    HRESULT GetProperties(const std::vector<std::string>& attributes, CUserAttributeTexts& texts);
    HRESULT ReadProperties(const std::vector<std::string>& attributes, CUserAttributeTexts& texts,
                           DWORD& dwConfigurationType);
    HRESULT GetDirectorySearch(const std::u16string& sPath, std::unique_ptr<IDirectorySearch>& spSearch);
    HRESULT FindUsers(IDirectorySearch* pSearch, const std::u16string& sFilter,
                      const std::vector<std::string>& attributes, CUserAttributeTexts& texts);
    HRESULT ReadDefaultNamingContext();

    // The configuration type the process has found to work (NOT_LEARNED at first).
    static std::atomic<DWORD> s_dwLearnedConfigurationType;

    DWORD m_dwConfigurationType;
    std::u16string m_sDefaultNamingContext;
    std::string m_sFilter;
    std::map<std::string, std::optional<std::string>, CNoCaseLess> m_cache;  // empty: the user has none
    std::u16string m_sBaseFilter = u"(objectClass=user)(objectCategory=person)";
    std::u16string m_sProvider = u"GC";
    std::u16string m_sDomainController;
    bool m_bUseNamingContext = false;

private:
    HRESULT ReadNamingContextAs(DWORD dwConfigurationType);
    std::u16string SearchPath() const;
};

#endif  // KX_DIRECTORY_AD_USER_CONFIG_H
