#include "directory/user_directory_reader.h"

#include "directory/ad_user_config.h"

HRESULT CUserDirectoryReader::ReadAttribute(const std::string& sKey, DWORD dwKeyType, int nConfigurationType,
                                            const std::string& sAttribute, std::string& sValue) {
    CADUserConfig lookup;
    if (nConfigurationType != DEFAULT_CONFIGURATION) lookup.m_dwConfigurationType = static_cast<DWORD>(nConfigurationType);
    lookup.SetFilter(sKey, dwKeyType);
    return lookup.GetProperty(sAttribute, sValue);
}
