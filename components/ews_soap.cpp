#include "components/ews_soap.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <sstream>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/utf.h"

namespace {

constexpr const char* NS_SOAP = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char* NS_TYPES = "http://schemas.microsoft.com/exchange/services/2006/types";
constexpr const char* NS_MESSAGES = "http://schemas.microsoft.com/exchange/services/2006/messages";

const HRESULT HR_INVALID_DATA = HResultFromWin32(ERROR_INVALID_DATA);

// ---- requests ----

// Text XML 1.0 can carry: well-formed UTF-8 without control characters
// other than tab, line feed and carriage return.
bool CanCarry(std::string_view sValue) {
    for (const char ch : sValue)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') return false;
    return IsValidUtf8(sValue);
}

bool Refuse(std::string_view sWhat, CEwsError& error) {
    error = {E_INVALIDARG, std::string(sWhat) + " holds characters XML cannot carry"};
    return false;
}

class CRequest {
public:
    explicit CRequest(const CEwsHeader& header) {
        pugi::xml_node declaration = m_document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "utf-8";
        pugi::xml_node envelope = m_document.append_child("soap:Envelope");
        envelope.append_attribute("xmlns:soap") = NS_SOAP;
        envelope.append_attribute("xmlns:t") = NS_TYPES;
        envelope.append_attribute("xmlns:m") = NS_MESSAGES;
        pugi::xml_node soapHeader = envelope.append_child("soap:Header");
        soapHeader.append_child("t:RequestServerVersion").append_attribute("Version") = header.sServerVersion.c_str();
        if (!header.sImpersonated.empty()) {
            const bool bSmtp = header.sImpersonated.find('@') != std::string::npos;
            soapHeader.append_child("t:ExchangeImpersonation")
                .append_child("t:ConnectingSID")
                .append_child(bSmtp ? "t:PrimarySmtpAddress" : "t:PrincipalName")
                .text()
                .set(header.sImpersonated.c_str());
        }
        m_body = envelope.append_child("soap:Body");
    }
    pugi::xml_node Body() { return m_body; }
    std::string Text() const {
        std::ostringstream stream;
        m_document.save(stream, "", pugi::format_raw, pugi::encoding_utf8);
        return stream.str();
    }

private:
    pugi::xml_document m_document;
    pugi::xml_node m_body;
};

void AddField(pugi::xml_node parent, const char* pszFieldUri) {
    parent.append_child("t:FieldURI").append_attribute("FieldURI") = pszFieldUri;
}

void SetCalendarField(pugi::xml_node updates, const char* pszFieldUri, const char* pszElement, const char* pszValue) {
    pugi::xml_node setField = updates.append_child("t:SetItemField");
    AddField(setField, pszFieldUri);
    setField.append_child("t:CalendarItem").append_child(pszElement).text().set(pszValue);
}

// ---- answers ----

// Whether the element's prefix is bound to the namespace where it stands.
bool InNamespace(pugi::xml_node node, const char* pszUri) {
    const std::string_view sName = node.name();
    const size_t nColon = sName.find(':');
    const std::string sAttribute = nColon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(sName, 0, nColon);
    for (pugi::xml_node scope = node; scope; scope = scope.parent())
        if (pugi::xml_attribute declaration = scope.attribute(sAttribute.c_str()))
            return std::strcmp(declaration.value(), pszUri) == 0;
    return false;
}

std::string_view LocalName(pugi::xml_node node) {
    const std::string_view sName = node.name();
    const size_t nColon = sName.find(':');
    return nColon == std::string_view::npos ? sName : sName.substr(nColon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, const char* pszUri, std::string_view sLocal) {
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element && LocalName(child) == sLocal && InNamespace(child, pszUri))
            return child;
    return {};
}

pugi::xml_node FirstElement(pugi::xml_node parent) {
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element) return child;
    return {};
}

HRESULT Malformed(const std::string& sWhat, CEwsError& error) {
    error = {HR_INVALID_DATA, "malformed answer: " + sWhat};
    return HR_INVALID_DATA;
}

// The answer of one operation, read down to its (first) response message.
class CAnswer {
public:
    HRESULT Load(std::string_view sAnswer, const std::string& sOperation, CEwsError& error) {
        if (!IsValidUtf8(sAnswer)) return Malformed("not UTF-8", error);
        const pugi::xml_parse_result result =
            m_document.load_buffer(sAnswer.data(), sAnswer.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!result) return Malformed(std::string("XML error ") + result.description(), error);
        const pugi::xml_node envelope = Child(m_document, NS_SOAP, "Envelope");
        const pugi::xml_node body = Child(envelope, NS_SOAP, "Body");
        if (!body) return Malformed("no SOAP envelope and body", error);
        if (const pugi::xml_node fault = Child(body, NS_SOAP, "Fault")) {
            std::string sText = std::string("SOAP fault: ") + fault.child_value("faultstring");
            for (const pugi::xpath_node& node : fault.select_nodes(".//*[local-name()='ResponseCode']"))
                sText += std::string(" (") + node.node().child_value() + ")";
            error = {E_FAIL, sText};
            return E_FAIL;
        }
        const pugi::xml_node response = Child(body, NS_MESSAGES, sOperation + "Response");
        const pugi::xml_node messages = Child(response, NS_MESSAGES, "ResponseMessages");
        m_message = Child(messages, NS_MESSAGES, sOperation + "ResponseMessage");
        if (!m_message) return Malformed("no " + sOperation + "ResponseMessage", error);
        const std::string_view sClass = m_message.attribute("ResponseClass").value();
        if (sClass != "Success") {
            const pugi::xml_node code = Child(m_message, NS_MESSAGES, "ResponseCode");
            const pugi::xml_node text = Child(m_message, NS_MESSAGES, "MessageText");
            error = {S_FALSE, "EWS " + std::string(code ? code.child_value() : "(no response code)") + ": " +
                                  (text ? text.child_value() : "")};
            return S_FALSE;
        }
        return S_OK;
    }
    pugi::xml_node Message() const { return m_message; }

private:
    pugi::xml_document m_document;
    pugi::xml_node m_message;
};

bool ReadBoolean(std::string_view sText, bool& bValue) {
    if (sText == "true" || sText == "1") return bValue = true, true;
    if (sText == "false" || sText == "0") return bValue = false, true;
    return false;
}

bool ReadLong(std::string_view sText, long& nValue) {
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return error == std::errc() && pEnd == sText.data() + sText.size() && !sText.empty();
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
    if (!CanCarry(sItemId) || !CanCarry(header.sImpersonated)) return Refuse("the item id or mailbox", error);
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
    if (!CanCarry(sItemId) || !CanCarry(header.sImpersonated)) return Refuse("the item id or mailbox", error);
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
    if (!CanCarry(sOwaId) || !CanCarry(sMailbox) || !CanCarry(header.sImpersonated))
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
    if (!CanCarry(sName) || !CanCarry(header.sImpersonated)) return Refuse("the configuration name or mailbox", error);
    CRequest request(header);
    pugi::xml_node get = request.Body().append_child("m:GetUserConfiguration");
    pugi::xml_node name = get.append_child("m:UserConfigurationName");
    name.append_attribute("Name") = sName.c_str();
    name.append_child("t:DistinguishedFolderId").append_attribute("Id") = pszFolder;
    get.append_child("m:UserConfigurationProperties").text().set("Dictionary");
    sBody = request.Text();
    return true;
}

bool BuildGetFolderProperties(const CEwsHeader& header, const char* pszFolder,
                              const std::vector<CEwsExtendedProperty>& properties, std::string& sBody,
                              CEwsError& error) {
    if (!CanCarry(header.sImpersonated)) return Refuse("the mailbox", error);
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
    getFolder.append_child("m:FolderIds").append_child("t:DistinguishedFolderId").append_attribute("Id") = pszFolder;
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
