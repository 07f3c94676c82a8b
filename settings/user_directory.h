// Reads one attribute of a user or recipient from the directory. The
// directory readers sit in a layer above the settings; the worker installs
// its reader when it starts (CSWGeneralSettings::SetUserDirectory).
#ifndef KX_SETTINGS_USER_DIRECTORY_H
#define KX_SETTINGS_USER_DIRECTORY_H

#include <string>

#include "kx/win_types.h"

class IUserDirectory {
public:
    // What the key is.
    enum : DWORD { KEY_ACCOUNT_NAME = 0, KEY_SMTP_ADDRESS = 3, KEY_SID = 7 };
    static constexpr int DEFAULT_CONFIGURATION = -1;

    // The attribute's values joined by ";". nConfigurationType is the
    // identity the look-up uses, DEFAULT_CONFIGURATION for the reader's own.
    virtual HRESULT ReadAttribute(const std::string& sKey, DWORD dwKeyType, int nConfigurationType,
                                  const std::string& sAttribute, std::string& sValue) = 0;

protected:
    ~IUserDirectory() = default;
};

#endif  // KX_SETTINGS_USER_DIRECTORY_H
