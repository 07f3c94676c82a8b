#include "tests/support/fake_ews_server.h"

#include <httplib.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char* NS_SOAP = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char* NS_TYPES = "http://schemas.microsoft.com/exchange/services/2006/types";
constexpr const char* NS_MESSAGES = "http://schemas.microsoft.com/exchange/services/2006/messages";
constexpr const char* PATH = "/EWS/exchange.asmx";

// The namespace URI an element's prefix is bound to where it stands.
std::string NamespaceOf(pugi::xml_node node) {
    const std::string sName = node.name();
    const size_t nColon = sName.find(':');
    const std::string sAttribute = nColon == std::string::npos ? "xmlns" : "xmlns:" + sName.substr(0, nColon);
    for (pugi::xml_node scope = node; scope; scope = scope.parent())
        if (pugi::xml_attribute declaration = scope.attribute(sAttribute.c_str())) return declaration.value();
    return {};
}

std::string Local(pugi::xml_node node) {
    const std::string sName = node.name();
    return sName.substr(sName.find(':') + 1);
}

// The first element below node, at any depth, with that local name and namespace.
pugi::xml_node Find(pugi::xml_node node, const char* pszLocal, const char* pszNamespace) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (Local(child) == pszLocal && NamespaceOf(child) == pszNamespace) return child;
        if (pugi::xml_node found = Find(child, pszLocal, pszNamespace)) return found;
    }
    return {};
}

// An answer envelope with the operation's response message.
class CReply {
public:
    CReply(const std::string& sOperation, const char* pszClass, const char* pszMessagesNs = NS_MESSAGES) {
        pugi::xml_node envelope = m_document.append_child("s:Envelope");
        envelope.append_attribute("xmlns:s") = NS_SOAP;
        pugi::xml_node response = envelope.append_child("s:Body").append_child(("m:" + sOperation + "Response").c_str());
        response.append_attribute("xmlns:m") = pszMessagesNs;
        response.append_attribute("xmlns:t") = NS_TYPES;
        m_message = response.append_child("m:ResponseMessages").append_child(("m:" + sOperation + "ResponseMessage").c_str());
        m_message.append_attribute("ResponseClass") = pszClass;
        m_message.append_child("m:ResponseCode").text().set(std::strcmp(pszClass, "Success") == 0 ? "NoError"
                                                                                                : "ErrorItemNotFound");
    }
    pugi::xml_node Message() { return m_message; }
    std::string Text() const {
        std::ostringstream stream;
        m_document.save(stream, "", pugi::format_raw);
        return stream.str();
    }

private:
    pugi::xml_document m_document;
    pugi::xml_node m_message;
};

}  // namespace

CFakeEwsServer::CFakeEwsServer() : m_spServer(std::make_unique<httplib::Server>()) {
    m_spServer->Post(PATH, [this](const httplib::Request& request, httplib::Response& response) {
        Mode mode;
        std::string sAuthorization;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            mode = m_mode;
            sAuthorization = m_sAuthorization;
        }
        if (mode == Mode::UNAUTHORIZED ||
            (!sAuthorization.empty() && request.get_header_value("Authorization") != sAuthorization)) {
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"EWS\"");
            return;
        }
        switch (mode) {
            case Mode::SERVER_ERROR: response.status = 500; response.set_content("Internal error", "text/plain"); return;
            case Mode::REDIRECT: response.set_redirect("http://elsewhere.invalid/EWS/exchange.asmx"); return;
            case Mode::HUGE_BODY:
                response.set_content("<a>" + std::string(1024 * 1024, 'x') + "</a>", "text/xml");
                return;
            case Mode::ENDLESS_BODY:
                response.set_chunked_content_provider("text/xml", [this](size_t, httplib::DataSink& sink) {
                    std::unique_lock<std::mutex> lock(m_lock);
                    if (m_bStopping) return false;
                    m_stopped.wait_for(lock, std::chrono::milliseconds(50));
                    return sink.write("<x>", 3);
                });
                return;
            case Mode::SLOW: {
                std::unique_lock<std::mutex> lock(m_lock);
                m_stopped.wait_for(lock, std::chrono::seconds(5), [this] { return m_bStopping; });
                break;
            }
            default: break;
        }
        int nDelayMs = 0;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (request.body.find("CreateItem") != std::string::npos) nDelayMs = m_nCreateDelayMs;
        }
        if (nDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(nDelayMs));
        int nStatus = 200;
        const std::string sAnswer = Answer(request.body, nStatus);
        response.status = nStatus;
        response.set_content(sAnswer, "text/xml; charset=utf-8");
    });
    m_spServer->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        const auto it = m_pages.find(request.path);
        if (it == m_pages.end()) {
            response.status = 404;
            return;
        }
        response.set_content(it->second, "text/html; charset=utf-8");
    });
    // A client that keeps its connection (wine's WinHTTP pools it past the
    // session) holds up the server's stop no longer than this.
    m_spServer->set_keep_alive_timeout(1);
    m_nPort = m_spServer->bind_to_any_port("127.0.0.1");
    if (m_nPort <= 0) throw std::runtime_error("the fake EWS server found no port");
    m_thread = std::thread([this] { m_spServer->listen_after_bind(); });
    while (!m_spServer->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

CFakeEwsServer::~CFakeEwsServer() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_bStopping = true;
    }
    m_stopped.notify_all();
    m_spServer->stop();
    m_thread.join();
}

std::string CFakeEwsServer::Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + PATH; }

void CFakeEwsServer::SetMode(Mode mode) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_mode = mode;
}

void CFakeEwsServer::RequireBasic(const std::string& sUser, const std::string& sPassword) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_sAuthorization = httplib::make_basic_authentication_header(sUser, sPassword).second;
}

int CFakeEwsServer::Requests(const std::string& sOperation) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_requests.find(sOperation);
    return it == m_requests.end() ? 0 : it->second;
}

std::vector<std::string> CFakeEwsServer::ShapeErrors() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_shapeErrors;
}

std::string CFakeEwsServer::LastImpersonated() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_sLastImpersonated;
}

std::vector<std::string> CFakeEwsServer::Impersonations() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_impersonations;
}

std::string CFakeEwsServer::LastRequest() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_sLastRequest;
}

std::string CFakeEwsServer::Answer(const std::string& sRequest, int& nStatus) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_sLastRequest = sRequest;
    const auto shapeError = [&](const std::string& sWhat) {
        m_shapeErrors.push_back(sWhat);
        nStatus = 400;
        return "bad request: " + sWhat;
    };
    pugi::xml_document document;
    if (!document.load_buffer(sRequest.data(), sRequest.size())) return shapeError("not XML");
    const pugi::xml_node envelope = document.first_child();
    if (Local(envelope) != "Envelope" || NamespaceOf(envelope) != NS_SOAP) return shapeError("no SOAP envelope");
    const pugi::xml_node version = Find(envelope, "RequestServerVersion", NS_TYPES);
    if (!version || std::string(version.attribute("Version").value()).rfind("Exchange20", 0) != 0)
        return shapeError("no RequestServerVersion");
    const pugi::xml_node impersonation = Find(envelope, "ExchangeImpersonation", NS_TYPES);
    m_sLastImpersonated.clear();
    std::string sKind = "none";
    for (const char* pszKind : {"PrimarySmtpAddress", "PrincipalName"})
        if (const pugi::xml_node who = Find(impersonation, pszKind, NS_TYPES)) {
            m_sLastImpersonated = who.child_value();
            sKind = pszKind;
        }
    // Exchange finds a user by an address or a principal name, never by an account name.
    if (impersonation && m_sLastImpersonated.find('@') == std::string::npos)
        return shapeError("impersonation of <" + m_sLastImpersonated + ">, which is no address or principal name");
    const pugi::xml_node body = Find(envelope, "Body", NS_SOAP);
    const pugi::xml_node operation = body.first_child();
    if (!operation || NamespaceOf(operation) != NS_MESSAGES) return shapeError("no operation in the messages namespace");
    const std::string sOperation = Local(operation);
    ++m_requests[sOperation];
    m_impersonations.push_back(sOperation + " " + sKind + (m_sLastImpersonated.empty() ? "" : "=" + m_sLastImpersonated));
    // The mailbox asked for: a folder's named mailbox, else the impersonated user's own.
    const pugi::xml_node otherMailbox = Find(Find(Find(operation, "DistinguishedFolderId", NS_TYPES), "Mailbox", NS_TYPES),
                                             "EmailAddress", NS_TYPES);
    m_sMailbox = otherMailbox ? otherMailbox.child_value() : m_sLastImpersonated;

    if (m_mode == Mode::SOAP_FAULT) {
        nStatus = 500;
        return std::string("<s:Envelope xmlns:s=\"") + NS_SOAP +
               "\"><s:Body><s:Fault><faultcode>s:Client</faultcode><faultstring>The request failed schema "
               "validation</faultstring><detail><e:ResponseCode xmlns:e=\"http://schemas.microsoft.com/exchange/"
               "services/2006/errors\">ErrorSchemaValidation</e:ResponseCode></detail></s:Fault></s:Body>"
               "</s:Envelope>";
    }
    const char* pszMessagesNs = m_mode == Mode::WRONG_NAMESPACE ? "urn:not-exchange" : NS_MESSAGES;
    const bool bMissing = m_mode == Mode::MISSING_ELEMENTS;
    const auto errorReply = [&] { return CReply(sOperation, "Error", pszMessagesNs).Text(); };
    if (m_mode == Mode::ERROR_RESPONSE || sOperation == m_sFailingOperation) return errorReply();

    CReply reply(sOperation, "Success", pszMessagesNs);
    pugi::xml_node message = reply.Message();
    if (sOperation == "GetItem") {
        const pugi::xml_node id = Find(operation, "ItemId", NS_TYPES);
        if (!Find(operation, "AdditionalProperties", NS_TYPES)) return shapeError("GetItem without its properties");
        const auto it = m_items.find(id.attribute("Id").value());
        if (it == m_items.end()) return errorReply();
        if (!bMissing) {
            pugi::xml_node item = message.append_child("m:Items").append_child("t:CalendarItem");
            item.append_child("t:ReminderIsSet").text().set(it->second.bReminderSet ? "true" : "false");
            item.append_child("t:ReminderMinutesBeforeStart").text().set(it->second.nMinutes);
        }
    } else if (sOperation == "UpdateItem") {
        const pugi::xml_node id = Find(operation, "ItemId", NS_TYPES);
        const pugi::xml_node isSet = Find(operation, "ReminderIsSet", NS_TYPES);
        const pugi::xml_node minutes = Find(operation, "ReminderMinutesBeforeStart", NS_TYPES);
        if (!isSet || !minutes) return shapeError("UpdateItem without the reminder fields");
        const auto it = m_items.find(id.attribute("Id").value());
        if (it == m_items.end()) return errorReply();
        it->second.bReminderSet = std::string(isSet.child_value()) == "true";
        it->second.nMinutes = minutes.text().as_int();
    } else if (sOperation == "ConvertId") {
        const pugi::xml_node id = Find(operation, "AlternateId", NS_TYPES);
        if (std::string(operation.attribute("DestinationFormat").value()) != "EwsId" ||
            std::string(id.attribute("Format").value()) != "OwaId" || *id.attribute("Mailbox").value() == '\0')
            return shapeError("ConvertId is not OwaId to EwsId with a mailbox");
        const auto it = m_owaToEws.find(id.attribute("Id").value());
        if (it == m_owaToEws.end()) return errorReply();
        if (!bMissing) {
            pugi::xml_node converted = message.append_child("m:AlternateId");
            converted.append_attribute("Format") = "EwsId";
            converted.append_attribute("Id") = it->second.c_str();
            converted.append_attribute("Mailbox") = id.attribute("Mailbox").value();
        }
    } else if (sOperation == "GetUserConfiguration") {
        const pugi::xml_node name = Find(operation, "UserConfigurationName", NS_MESSAGES);
        if (!Find(name, "DistinguishedFolderId", NS_TYPES)) return shapeError("GetUserConfiguration without a folder");
        const auto own = m_mailboxConfigurations.find(m_sMailbox);
        const auto& configurations = own == m_mailboxConfigurations.end() ? m_configurations : own->second;
        const auto it = configurations.find(name.attribute("Name").value());
        if (it == configurations.end()) return errorReply();
        if (!bMissing) {
            pugi::xml_node dictionary = message.append_child("m:UserConfiguration").append_child("t:Dictionary");
            for (const auto& [sKey, sValue] : it->second) {
                pugi::xml_node entry = dictionary.append_child("t:DictionaryEntry");
                pugi::xml_node key = entry.append_child("t:DictionaryKey");
                key.append_child("t:Type").text().set("String");
                key.append_child("t:Value").text().set(sKey.c_str());
                pugi::xml_node value = entry.append_child("t:DictionaryValue");
                value.append_child("t:Type").text().set("String");
                value.append_child("t:Value").text().set(sValue.c_str());
            }
        }
    } else if (sOperation == "GetFolder") {
        if (std::string(Find(operation, "DistinguishedFolderId", NS_TYPES).attribute("Id").value()) != "calendar")
            return shapeError("GetFolder of another folder than the calendar");
        if (!bMissing) {
            pugi::xml_node folder = message.append_child("m:Folders").append_child("t:CalendarFolder");
            const auto& properties = m_folderProperties[m_sMailbox];
            for (pugi::xml_node uri = Find(operation, "ExtendedFieldURI", NS_TYPES); uri;
                 uri = uri.next_sibling(uri.name())) {
                const auto it = properties.find(std::string(uri.attribute("PropertySetId").value()) + "|" +
                                                uri.attribute("PropertyName").value());
                if (it == properties.end()) continue;
                pugi::xml_node property = folder.append_child("t:ExtendedProperty");
                pugi::xml_node field = property.append_child("t:ExtendedFieldURI");
                for (const char* pszAttribute : {"PropertySetId", "PropertyName", "PropertyType"})
                    field.append_attribute(pszAttribute) = uri.attribute(pszAttribute).value();
                property.append_child("t:Value").text().set(it->second.c_str());
            }
        }
    } else if (sOperation == "FindItem" || sOperation == "CreateItem" || sOperation == "DeleteItem" ||
               sOperation == "UpdateFolder") {
        if (const std::string sError = AnswerCalendar(sOperation, operation, message); !sError.empty())
            return shapeError(sError);
    } else {
        return shapeError("unknown operation " + sOperation);
    }
    std::string sText = reply.Text();
    if (m_mode == Mode::INVALID_UTF8) sText.insert(sText.find("NoError"), "\xff");
    return sText;
}

std::map<std::string, CFakeEwsServer::CCalendarItem> CFakeEwsServer::Calendar(const std::string& sMailbox) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_calendars.find(sMailbox);
    return it == m_calendars.end() ? std::map<std::string, CCalendarItem>{} : it->second;
}

std::map<std::string, std::string> CFakeEwsServer::FolderProperties(const std::string& sMailbox) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_folderProperties.find(sMailbox);
    return it == m_folderProperties.end() ? std::map<std::string, std::string>{} : it->second;
}

std::string CFakeEwsServer::AnswerCalendar(const std::string& sOperation, pugi::xml_node operation,
                                           pugi::xml_node message) {
    std::map<std::string, CCalendarItem>& calendar = m_calendars[m_sMailbox];
    const auto propertyKey = [](pugi::xml_node uri) {
        return std::string(uri.attribute("PropertySetId").value()) + "|" + uri.attribute("PropertyName").value();
    };
    // Further response messages of the same kind after the first.
    const auto nextMessage = [&](const char* pszClass) {
        pugi::xml_node added = message.parent().append_child(message.name());
        added.append_attribute("ResponseClass") = pszClass;
        added.append_child("m:ResponseCode").text().set(std::strcmp(pszClass, "Success") == 0 ? "NoError"
                                                                                               : "ErrorItemNotFound");
        return added;
    };
    if (sOperation == "FindItem") {
        const pugi::xml_node exists = Find(Find(operation, "Restriction", NS_MESSAGES), "Exists", NS_TYPES);
        const pugi::xml_node view = Find(operation, "IndexedPageItemView", NS_MESSAGES);
        if (!Find(exists, "ExtendedFieldURI", NS_TYPES) || !view)
            return "FindItem without an Exists restriction on an extended property or a paged view";
        const int nOffset = view.attribute("Offset").as_int();
        const int nMax = view.attribute("MaxEntriesReturned").as_int();
        pugi::xml_node root = message.append_child("m:RootFolder");
        pugi::xml_node items = root.append_child("t:Items");
        int nIndex = 0, nMarked = 0;
        for (const auto& [sId, item] : calendar) {
            if (item.sMarker.empty()) continue;
            ++nMarked;
            if (nIndex++ < nOffset || nIndex > nOffset + nMax) continue;
            pugi::xml_node found = items.append_child("t:CalendarItem");
            found.append_child("t:ItemId").append_attribute("Id") = sId.c_str();
            pugi::xml_node property = found.append_child("t:ExtendedProperty");
            property.append_child("t:ExtendedFieldURI").append_attribute("PropertyName") = "marker";
            property.append_child("t:Value").text().set(item.sMarker.c_str());
        }
        root.append_attribute("IncludesLastItemInRange") = nOffset + nMax >= nMarked ? "true" : "false";
    } else if (sOperation == "CreateItem") {
        if (std::string(operation.attribute("SendMeetingInvitations").value()) != "SendToNone" ||
            !Find(Find(operation, "SavedItemFolderId", NS_MESSAGES), "DistinguishedFolderId", NS_TYPES))
            return "CreateItem without SendToNone or a saved-item folder";
        int nItem = 0;
        for (pugi::xml_node item : Find(operation, "Items", NS_MESSAGES).children()) {
            if (Local(item) != "CalendarItem") return "CreateItem of something else than a calendar item";
            if (std::string(item.child("t:IsAllDayEvent").child_value()) != "true" ||
                std::string(item.child("t:LegacyFreeBusyStatus").child_value()) != "Free" ||
                !item.child("t:Start") || !item.child("t:End") || !item.child("t:ExtendedProperty"))
                return "a holiday that is not an all-day free appointment with its marker";
            CCalendarItem made;
            made.sSubject = item.child_value("t:Subject");
            made.sLocation = item.child_value("t:Location");
            made.sStart = item.child_value("t:Start");
            made.sEnd = item.child_value("t:End");
            made.sTimeZone = item.child("t:StartTimeZone").attribute("Id").value();
            made.sCategory = item.child("t:Categories").child_value("t:String");
            made.sMarker = item.child("t:ExtendedProperty").child_value("t:Value");
            const std::string sId = "hol-" + std::to_string(++m_nNextItem);
            calendar[sId] = made;
            pugi::xml_node answer = nItem++ == 0 ? message : nextMessage("Success");
            answer.append_child("m:Items").append_child("t:CalendarItem").append_child("t:ItemId")
                .append_attribute("Id") = sId.c_str();
        }
    } else if (sOperation == "DeleteItem") {
        if (*operation.attribute("DeleteType").value() == '\0') return "DeleteItem without a DeleteType";
        bool bFirst = true;
        for (pugi::xml_node id : Find(operation, "ItemIds", NS_MESSAGES).children()) {
            // An item id names its mailbox.
            bool bErased = false;
            for (auto& [sMailbox, items] : m_calendars) bErased = items.erase(id.attribute("Id").value()) != 0 || bErased;
            if (bFirst) {
                if (!bErased) message.attribute("ResponseClass").set_value("Error");
                bFirst = false;
            } else {
                nextMessage(bErased ? "Success" : "Error");
            }
        }
    } else {  // UpdateFolder
        for (pugi::xml_node set = Find(operation, "SetFolderField", NS_TYPES); set; set = set.next_sibling()) {
            const pugi::xml_node uri = set.child("t:ExtendedFieldURI");
            const pugi::xml_node value = Find(set, "Value", NS_TYPES);
            if (!uri || !value) return "SetFolderField without an extended property";
            m_folderProperties[m_sMailbox][propertyKey(uri)] = value.child_value();
        }
    }
    return {};
}
