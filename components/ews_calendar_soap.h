// The Exchange Web Services operations of the holiday import: the items of
// a calendar that carry the import's marker, all-day appointments made,
// items deleted, and the calendar folder's extended properties written.
#ifndef KX_COMPONENTS_EWS_CALENDAR_SOAP_H
#define KX_COMPONENTS_EWS_CALENDAR_SOAP_H

#include <string>
#include <string_view>
#include <vector>

#include "components/ews_soap.h"

// An all-day appointment shown as free, in a category, with a marker value.
struct CEwsHolidayItem {
    std::string sSubject;
    std::string sLocation;
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    std::string sMarker;
};

// An item found with the marker, and the marker's value.
struct CEwsMarkedItem {
    std::string sId;
    std::string sMarker;
};

bool BuildFindMarkedItems(const CEwsHeader& header, const CEwsExtendedProperty& marker, long nOffset, long nMax,
                          std::string& sBody, CEwsError& error);
bool BuildCreateHolidayItems(const CEwsHeader& header, const CEwsExtendedProperty& marker, const std::string& sCategory,
                             const std::string& sTimeZone, const std::vector<CEwsHolidayItem>& items,
                             std::string& sBody, CEwsError& error);
bool BuildDeleteItems(const CEwsHeader& header, const std::vector<std::string>& ids, std::string& sBody,
                      CEwsError& error);
bool BuildSetFolderProperties(const CEwsHeader& header, const char* pszFolder,
                              const std::vector<CEwsExtendedProperty>& properties, std::string& sBody,
                              CEwsError& error);

// Readers as in ews_soap.h; for several items S_FALSE when any failed.
HRESULT ReadFindMarkedItems(std::string_view sAnswer, std::vector<CEwsMarkedItem>& items, bool& bLast,
                            CEwsError& error);
HRESULT ReadCreateItems(std::string_view sAnswer, CEwsError& error);
HRESULT ReadDeleteItems(std::string_view sAnswer, CEwsError& error);
HRESULT ReadUpdateFolder(std::string_view sAnswer, CEwsError& error);

#endif  // KX_COMPONENTS_EWS_CALENDAR_SOAP_H
