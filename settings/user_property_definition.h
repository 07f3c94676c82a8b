// One user property: where the product keeps it in Exchange (a custom
// property by property-set GUID and name) and its default value.
#ifndef KX_SETTINGS_USER_PROPERTY_DEFINITION_H
#define KX_SETTINGS_USER_PROPERTY_DEFINITION_H

#include <string>

#include "kx/win_types.h"

struct CUserPropertyDefinition {
    DWORD dwServiceWorkerId = 0;
    DWORD dwFlag = 0;
    DWORD dwPropertyId = 0;
    std::string sDefaultValue;  // the value read from Exchange replaces it in a working copy
    std::string sPropertySetGuid;
    std::string sPropertyName;
    DWORD dwRequested = 0;
};

#endif  // KX_SETTINGS_USER_PROPERTY_DEFINITION_H
