#include "components/ews_calendar_soap.h"

#include <cstdio>

#include "base/win_errors.h"
#include "components/ews_xml.h"
#include "components/holiday_file.h"

using namespace ews;

namespace {

void AddExtendedFieldUri(pugi::xml_node parent, const CEwsExtendedProperty& property) {
    pugi::xml_node uri = parent.append_child("t:ExtendedFieldURI");
    uri.append_attribute("PropertySetId") = property.sPropertySetId.c_str();
    uri.append_attribute("PropertyName") = property.sName.c_str();
    uri.append_attribute("PropertyType") = "String";
}

void AddExtendedProperty(pugi::xml_node parent, const CEwsExtendedProperty& property, const std::string& sValue) {
    pugi::xml_node extended = parent.append_child("t:ExtendedProperty");
    AddExtendedFieldUri(extended, property);
    extended.append_child("t:Value").text().set(sValue.c_str());
}

bool CanCarryProperty(const CEwsExtendedProperty& property) {
    return CanCarry(property.sPropertySetId) && CanCarry(property.sName) && CanCarry(property.sValue);
}

// Midnight of the day, and of the day after it, as local times.
void DayBounds(const CEwsHolidayItem& item, std::string& sStart, std::string& sEnd) {
    int nYear = item.nYear, nMonth = item.nMonth, nDay = item.nDay + 1;
    if (nDay > DaysInMonth(nYear, nMonth)) nDay = 1, ++nMonth;
    if (nMonth > 12) nMonth = 1, ++nYear;
    char szText[64];
    std::snprintf(szText, sizeof(szText), "%04d-%02d-%02dT00:00:00", item.nYear % 10000, item.nMonth % 100,
                  item.nDay % 100);
    sStart = szText;
    std::snprintf(szText, sizeof(szText), "%04d-%02d-%02dT00:00:00", nYear % 10000, nMonth % 100, nDay % 100);
    sEnd = szText;
}

// Every response message must be a success.
HRESULT ReadEvery(std::string_view sAnswer, const char* pszOperation, CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, pszOperation, error); hr != S_OK) return hr;
    for (pugi::xml_node message : answer.Messages().children()) {
        if (LocalName(message) != std::string(pszOperation) + "ResponseMessage") continue;
        if (std::string_view(message.attribute("ResponseClass").value()) != "Success") {
            const pugi::xml_node code = Child(message, NS_MESSAGES, "ResponseCode");
            error = {S_FALSE, std::string("EWS ") + (code ? code.child_value() : "(no response code)")};
            return S_FALSE;
        }
    }
    return S_OK;
}

}  // namespace

bool BuildFindMarkedItems(const CEwsHeader& header, const CEwsExtendedProperty& marker, long nOffset, long nMax,
                          std::string& sBody, CEwsError& error) {
    if (!CanCarry(header) || !CanCarryProperty(marker)) return Refuse("the mailbox or marker", error);
    CRequest request(header);
    pugi::xml_node find = request.Body().append_child("m:FindItem");
    find.append_attribute("Traversal") = "Shallow";
    pugi::xml_node shape = find.append_child("m:ItemShape");
    shape.append_child("t:BaseShape").text().set("IdOnly");
    AddExtendedFieldUri(shape.append_child("t:AdditionalProperties"), marker);
    pugi::xml_node view = find.append_child("m:IndexedPageItemView");
    view.append_attribute("MaxEntriesReturned") = nMax;
    view.append_attribute("Offset") = nOffset;
    view.append_attribute("BasePoint") = "Beginning";
    AddExtendedFieldUri(find.append_child("m:Restriction").append_child("t:Exists"), marker);
    AddDistinguishedFolder(find.append_child("m:ParentFolderIds"), "calendar", header);
    sBody = request.Text();
    return true;
}

bool BuildCreateHolidayItems(const CEwsHeader& header, const CEwsExtendedProperty& marker, const std::string& sCategory,
                             const std::string& sTimeZone, const std::vector<CEwsHolidayItem>& items,
                             std::string& sBody, CEwsError& error) {
    if (!CanCarry(header) || !CanCarryProperty(marker) || !CanCarry(sCategory) || !CanCarry(sTimeZone))
        return Refuse("the mailbox, marker, category or time zone", error);
    CRequest request(header);
    pugi::xml_node create = request.Body().append_child("m:CreateItem");
    create.append_attribute("SendMeetingInvitations") = "SendToNone";
    AddDistinguishedFolder(create.append_child("m:SavedItemFolderId"), "calendar", header);
    pugi::xml_node list = create.append_child("m:Items");
    const bool b2007 = header.sServerVersion == "Exchange2007_SP1";
    for (const CEwsHolidayItem& item : items) {
        if (!CanCarry(item.sSubject) || !CanCarry(item.sLocation) || !CanCarry(item.sMarker))
            return Refuse("the holiday " + item.sSubject, error);
        std::string sStart, sEnd;
        DayBounds(item, sStart, sEnd);
        pugi::xml_node calendarItem = list.append_child("t:CalendarItem");
        calendarItem.append_child("t:Subject").text().set(item.sSubject.c_str());
        calendarItem.append_child("t:Categories").append_child("t:String").text().set(sCategory.c_str());
        AddExtendedProperty(calendarItem, marker, item.sMarker);
        calendarItem.append_child("t:Start").text().set(sStart.c_str());
        calendarItem.append_child("t:End").text().set(sEnd.c_str());
        calendarItem.append_child("t:IsAllDayEvent").text().set("true");
        calendarItem.append_child("t:LegacyFreeBusyStatus").text().set("Free");
        calendarItem.append_child("t:Location").text().set(item.sLocation.c_str());
        if (sTimeZone.empty()) continue;
        if (b2007) {
            calendarItem.append_child("t:MeetingTimeZone").append_attribute("TimeZoneName") = sTimeZone.c_str();
        } else {
            calendarItem.append_child("t:StartTimeZone").append_attribute("Id") = sTimeZone.c_str();
            calendarItem.append_child("t:EndTimeZone").append_attribute("Id") = sTimeZone.c_str();
        }
    }
    sBody = request.Text();
    return true;
}

bool BuildDeleteItems(const CEwsHeader& header, const std::vector<std::string>& ids, std::string& sBody,
                      CEwsError& error) {
    if (!CanCarry(header)) return Refuse("the mailbox", error);
    CRequest request(header);
    pugi::xml_node remove = request.Body().append_child("m:DeleteItem");
    remove.append_attribute("DeleteType") = "MoveToDeletedItems";
    remove.append_attribute("SendMeetingCancellations") = "SendToNone";
    pugi::xml_node list = remove.append_child("m:ItemIds");
    for (const std::string& sId : ids) {
        if (!CanCarry(sId)) return Refuse("an item id", error);
        list.append_child("t:ItemId").append_attribute("Id") = sId.c_str();
    }
    sBody = request.Text();
    return true;
}

bool BuildSetFolderProperties(const CEwsHeader& header, const char* pszFolder,
                              const std::vector<CEwsExtendedProperty>& properties, std::string& sBody,
                              CEwsError& error) {
    if (!CanCarry(header)) return Refuse("the mailbox", error);
    CRequest request(header);
    pugi::xml_node update = request.Body().append_child("m:UpdateFolder");
    pugi::xml_node change = update.append_child("m:FolderChanges").append_child("t:FolderChange");
    AddDistinguishedFolder(change, pszFolder, header);
    pugi::xml_node updates = change.append_child("t:Updates");
    for (const CEwsExtendedProperty& property : properties) {
        if (!CanCarryProperty(property)) return Refuse("the property " + property.sName, error);
        pugi::xml_node set = updates.append_child("t:SetFolderField");
        AddExtendedFieldUri(set, property);
        AddExtendedProperty(set.append_child("t:CalendarFolder"), property, property.sValue);
    }
    sBody = request.Text();
    return true;
}

HRESULT ReadFindMarkedItems(std::string_view sAnswer, std::vector<CEwsMarkedItem>& items, bool& bLast,
                            CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, "FindItem", error); hr != S_OK) return hr;
    const pugi::xml_node root = Child(answer.Message(), NS_MESSAGES, "RootFolder");
    if (!root) return Malformed("no RootFolder", error);
    bool bIncludesLast = false;
    if (!ReadBoolean(root.attribute("IncludesLastItemInRange").value(), bIncludesLast))
        return Malformed("no IncludesLastItemInRange", error);
    std::vector<CEwsMarkedItem> found;
    for (pugi::xml_node item : Child(root, NS_TYPES, "Items").children()) {
        if (item.type() != pugi::node_element) continue;
        const pugi::xml_node id = Child(item, NS_TYPES, "ItemId");
        const pugi::xml_node value = Child(Child(item, NS_TYPES, "ExtendedProperty"), NS_TYPES, "Value");
        if (!id || *id.attribute("Id").value() == '\0') return Malformed("an item without its id", error);
        found.push_back(CEwsMarkedItem{id.attribute("Id").value(), value ? value.child_value() : ""});
    }
    items.insert(items.end(), found.begin(), found.end());
    bLast = bIncludesLast;
    return S_OK;
}

HRESULT ReadCreateItems(std::string_view sAnswer, CEwsError& error) { return ReadEvery(sAnswer, "CreateItem", error); }

HRESULT ReadDeleteItems(std::string_view sAnswer, CEwsError& error) { return ReadEvery(sAnswer, "DeleteItem", error); }

HRESULT ReadUpdateFolder(std::string_view sAnswer, CEwsError& error) {
    CAnswer answer;
    return answer.Load(sAnswer, "UpdateFolder", error);
}
