// The XML side of the Exchange Web Services requests and answers: a
// request envelope built through pugixml, and an answer read down to its
// response message with namespaces resolved.
#ifndef KX_COMPONENTS_EWS_XML_H
#define KX_COMPONENTS_EWS_XML_H

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "components/ews_soap.h"

namespace ews {

constexpr const char* NS_SOAP = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char* NS_TYPES = "http://schemas.microsoft.com/exchange/services/2006/types";
constexpr const char* NS_MESSAGES = "http://schemas.microsoft.com/exchange/services/2006/messages";

// Text XML 1.0 can carry: well-formed UTF-8 without control characters
// other than tab, line feed and carriage return.
bool CanCarry(std::string_view sValue);
// False, with the reason in error.
bool Refuse(std::string_view sWhat, CEwsError& error);
// The user and mailbox names of the header.
bool CanCarry(const CEwsHeader& header);

// A request envelope with its header; the operation goes into Body().
class CRequest {
public:
    explicit CRequest(const CEwsHeader& header);
    pugi::xml_node Body() { return m_body; }
    std::string Text() const;

private:
    pugi::xml_document m_document;
    pugi::xml_node m_body;
};

void AddField(pugi::xml_node parent, const char* pszFieldUri);
// A distinguished folder, of the header's other mailbox when it names one.
void AddDistinguishedFolder(pugi::xml_node parent, const char* pszFolder, const CEwsHeader& header);

// Whether the element's prefix is bound to the namespace where it stands.
bool InNamespace(pugi::xml_node node, const char* pszUri);
std::string_view LocalName(pugi::xml_node node);
pugi::xml_node Child(pugi::xml_node parent, const char* pszUri, std::string_view sLocal);
pugi::xml_node FirstElement(pugi::xml_node parent);
HRESULT Malformed(const std::string& sWhat, CEwsError& error);

// The answer of one operation, read down to its (first) response message.
class CAnswer {
public:
    // S_OK; S_FALSE with error for an EWS error response; negative for a
    // SOAP fault or a malformed answer.
    HRESULT Load(std::string_view sAnswer, const std::string& sOperation, CEwsError& error);
    pugi::xml_node Message() const { return m_message; }
    // Every response message of the answer, the first one's siblings.
    pugi::xml_node Messages() const { return m_message.parent(); }

private:
    pugi::xml_document m_document;
    pugi::xml_node m_message;
};

bool ReadBoolean(std::string_view sText, bool& bValue);
bool ReadLong(std::string_view sText, long& nValue);

}  // namespace ews

#endif  // KX_COMPONENTS_EWS_XML_H
