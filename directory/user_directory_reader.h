// The worker's directory reader of single user attributes: one user
// look-up object per read.
#ifndef KX_DIRECTORY_USER_DIRECTORY_READER_H
#define KX_DIRECTORY_USER_DIRECTORY_READER_H

#include "settings/user_directory.h"

class CUserDirectoryReader : public IUserDirectory {
public:
    HRESULT ReadAttribute(const std::string& sKey, DWORD dwKeyType, int nConfigurationType,
                          const std::string& sAttribute, std::string& sValue) override;
};

#endif  // KX_DIRECTORY_USER_DIRECTORY_READER_H
