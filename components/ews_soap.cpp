#include "components/ews_soap.h"

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "components/ews_xml.h"

using namespace ews;

namespace {

void SetCalendarField(pugi::xml_node updates, const char* pszFieldUri, const char* pszElement, const char* pszValue) {
    pugi::xml_node setField = updates.append_child("t:SetItemField");
    AddField(setField, pszFieldUri);
    setField.append_child("t:CalendarItem").append_child(pszElement).text().set(pszValue);
}

}  // namespace

const char* DistinguishedFolderName(long nFolder) {
    static const char* const NAMES[] = {"calendar", "contacts",     "deleteditems",      "drafts",
                                        "inbox",    "journal",      "notes",             "outbox",
                                        "sentitems", "tasks",       "msgfolderroot",     "publicfoldersroot",
                                        "root",     "junkemail",    "searchfolders",     "voicemail"};
    if (nFolder == -1) return "root";
    return nFolder >= 0 && nFolder < static_cast<long>(std::size(NAMES)) ? NAMES[nFolder] : nullptr;
}

bool BuildGetReminder(const CEwsHeader& header, const std::string& sItemId, std::string& sBody, CEwsError& error) {
    if (!CanCarry(sItemId) || !CanCarry(header)) return Refuse("the item id or mailbox", error);
    CRequest request(header);
    pugi::xml_node getItem = request.Body().append_child("m:GetItem");
    pugi::xml_node shape = getItem.append_child("m:ItemShape");
    shape.append_child("t:BaseShape").text().set("IdOnly");
    pugi::xml_node properties = shape.append_child("t:AdditionalProperties");
    AddField(properties, "item:ReminderIsSet");
    AddField(properties, "item:ReminderMinutesBeforeStart");
    getItem.append_child("m:ItemIds").append_child("t:ItemId").append_attribute("Id") = sItemId.c_str();
    sBody = request.Text();
    return true;
}

bool BuildSetReminder(const CEwsHeader& header, const std::string& sItemId, bool bReminderSet, long nMinutes,
                      std::string& sBody, CEwsError& error) {
    if (!CanCarry(sItemId) || !CanCarry(header)) return Refuse("the item id or mailbox", error);
    CRequest request(header);
    pugi::xml_node updateItem = request.Body().append_child("m:UpdateItem");
    updateItem.append_attribute("ConflictResolution") = "AlwaysOverwrite";
    updateItem.append_attribute("SendMeetingInvitationsOrCancellations") = "SendToNone";
    pugi::xml_node change = updateItem.append_child("m:ItemChanges").append_child("t:ItemChange");
    change.append_child("t:ItemId").append_attribute("Id") = sItemId.c_str();
    pugi::xml_node updates = change.append_child("t:Updates");
    SetCalendarField(updates, "item:ReminderIsSet", "t:ReminderIsSet", bReminderSet ? "true" : "false");
    SetCalendarField(updates, "item:ReminderMinutesBeforeStart", "t:ReminderMinutesBeforeStart",
                     std::to_string(nMinutes).c_str());
    sBody = request.Text();
    return true;
}

bool BuildConvertId(const CEwsHeader& header, const std::string& sOwaId, const std::string& sMailbox,
                    std::string& sBody, CEwsError& error) {
    if (!CanCarry(sOwaId) || !CanCarry(sMailbox) || !CanCarry(header))
        return Refuse("the OWA id or mailbox", error);
    CRequest request(header);
    pugi::xml_node convert = request.Body().append_child("m:ConvertId");
    convert.append_attribute("DestinationFormat") = "EwsId";
    pugi::xml_node id = convert.append_child("m:SourceIds").append_child("t:AlternateId");
    id.append_attribute("Format") = "OwaId";
    id.append_attribute("Id") = sOwaId.c_str();
    id.append_attribute("Mailbox") = sMailbox.c_str();
    sBody = request.Text();
    return true;
}

bool BuildGetUserConfiguration(const CEwsHeader& header, const std::string& sName, const char* pszFolder,
                               std::string& sBody, CEwsError& error) {
    if (!CanCarry(sName) || !CanCarry(header)) return Refuse("the configuration name or mailbox", error);
    CRequest request(header);
    pugi::xml_node get = request.Body().append_child("m:GetUserConfiguration");
    pugi::xml_node name = get.append_child("m:UserConfigurationName");
    name.append_attribute("Name") = sName.c_str();
    AddDistinguishedFolder(name, pszFolder, header);
    get.append_child("m:UserConfigurationProperties").text().set("Dictionary");
    sBody = request.Text();
    return true;
}

bool BuildGetFolderProperties(const CEwsHeader& header, const char* pszFolder,
                              const std::vector<CEwsExtendedProperty>& properties, std::string& sBody,
                              CEwsError& error) {
    if (!CanCarry(header)) return Refuse("the mailbox", error);
    CRequest request(header);
    pugi::xml_node getFolder = request.Body().append_child("m:GetFolder");
    pugi::xml_node shape = getFolder.append_child("m:FolderShape");
    shape.append_child("t:BaseShape").text().set("IdOnly");
    pugi::xml_node additional = shape.append_child("t:AdditionalProperties");
    for (const CEwsExtendedProperty& property : properties) {
        if (!CanCarry(property.sPropertySetId) || !CanCarry(property.sName))
            return Refuse("the property " + property.sName, error);
        pugi::xml_node uri = additional.append_child("t:ExtendedFieldURI");
        uri.append_attribute("PropertySetId") = property.sPropertySetId.c_str();
        uri.append_attribute("PropertyName") = property.sName.c_str();
        uri.append_attribute("PropertyType") = "String";
    }
    AddDistinguishedFolder(getFolder.append_child("m:FolderIds"), pszFolder, header);
    sBody = request.Text();
    return true;
}

HRESULT ReadGetReminder(std::string_view sAnswer, bool& bReminderSet, long& nMinutes, CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, "GetItem", error); hr != S_OK) return hr;
    const pugi::xml_node item = FirstElement(Child(answer.Message(), NS_MESSAGES, "Items"));
    const pugi::xml_node isSet = Child(item, NS_TYPES, "ReminderIsSet");
    const pugi::xml_node minutes = Child(item, NS_TYPES, "ReminderMinutesBeforeStart");
    bool bSet = false;
    long nValue = 0;
    if (!isSet || !minutes || !ReadBoolean(isSet.child_value(), bSet) || !ReadLong(minutes.child_value(), nValue))
        return Malformed("no item with ReminderIsSet and ReminderMinutesBeforeStart", error);
    bReminderSet = bSet;
    nMinutes = nValue;
    return S_OK;
}

HRESULT ReadUpdateItem(std::string_view sAnswer, CEwsError& error) {
    CAnswer answer;
    return answer.Load(sAnswer, "UpdateItem", error);
}

HRESULT ReadConvertId(std::string_view sAnswer, std::vector<std::string>& ids, CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, "ConvertId", error); hr != S_OK) return hr;
    std::vector<std::string> found;
    for (pugi::xml_node id : answer.Message().children())
        if (LocalName(id) == "AlternateId" && InNamespace(id, NS_MESSAGES) && *id.attribute("Id").value() != '\0')
            found.emplace_back(id.attribute("Id").value());
    if (found.empty()) return Malformed("no AlternateId", error);
    ids = std::move(found);
    return S_OK;
}

HRESULT ReadGetUserConfiguration(std::string_view sAnswer, std::vector<std::pair<std::string, std::string>>& values,
                                 CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, "GetUserConfiguration", error); hr != S_OK) return hr;
    const pugi::xml_node configuration = Child(answer.Message(), NS_MESSAGES, "UserConfiguration");
    if (!configuration) return Malformed("no UserConfiguration", error);
    std::vector<std::pair<std::string, std::string>> entries;
    for (pugi::xml_node entry : Child(configuration, NS_TYPES, "Dictionary").children()) {
        if (LocalName(entry) != "DictionaryEntry" || !InNamespace(entry, NS_TYPES)) continue;
        const pugi::xml_node key = Child(Child(entry, NS_TYPES, "DictionaryKey"), NS_TYPES, "Value");
        if (!key) return Malformed("a dictionary entry without a key", error);
        const pugi::xml_node value = Child(Child(entry, NS_TYPES, "DictionaryValue"), NS_TYPES, "Value");
        entries.emplace_back(key.child_value(), value.child_value());
    }
    values = std::move(entries);
    return S_OK;
}

HRESULT ReadGetFolderProperties(std::string_view sAnswer, std::vector<CEwsExtendedProperty>& properties,
                                CEwsError& error) {
    CAnswer answer;
    if (const HRESULT hr = answer.Load(sAnswer, "GetFolder", error); hr != S_OK) return hr;
    const pugi::xml_node folder = FirstElement(Child(answer.Message(), NS_MESSAGES, "Folders"));
    if (!folder) return Malformed("no folder", error);
    for (pugi::xml_node extended : folder.children()) {
        if (LocalName(extended) != "ExtendedProperty" || !InNamespace(extended, NS_TYPES)) continue;
        const pugi::xml_node uri = Child(extended, NS_TYPES, "ExtendedFieldURI");
        const pugi::xml_node value = Child(extended, NS_TYPES, "Value");
        if (!uri || !value) return Malformed("an extended property without its URI or value", error);
        for (CEwsExtendedProperty& property : properties)
            if (SameNoCase(property.sPropertySetId, uri.attribute("PropertySetId").value()) &&
                property.sName == uri.attribute("PropertyName").value()) {
                property.sValue = value.child_value();
                property.bFound = true;
            }
    }
    return S_OK;
}
