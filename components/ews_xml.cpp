#include "components/ews_xml.h"

#include <charconv>
#include <cstring>
#include <sstream>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/utf.h"

namespace ews {

bool CanCarry(std::string_view sValue) {
    for (const char ch : sValue)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') return false;
    return IsValidUtf8(sValue);
}

bool CanCarry(const CEwsHeader& header) { return CanCarry(header.sImpersonated) && CanCarry(header.sMailbox); }

bool Refuse(std::string_view sWhat, CEwsError& error) {
    error = {E_INVALIDARG, std::string(sWhat) + " holds characters XML cannot carry"};
    return false;
}

CRequest::CRequest(const CEwsHeader& header) {
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
        const bool bSmtp = header.impersonatedAs == CEwsUserName::SMTP_ADDRESS;
        soapHeader.append_child("t:ExchangeImpersonation")
            .append_child("t:ConnectingSID")
            .append_child(bSmtp ? "t:PrimarySmtpAddress" : "t:PrincipalName")
            .text()
            .set(header.sImpersonated.c_str());
    }
    m_body = envelope.append_child("soap:Body");
}

std::string CRequest::Text() const {
    std::ostringstream stream;
    m_document.save(stream, "", pugi::format_raw, pugi::encoding_utf8);
    return stream.str();
}

void AddDistinguishedFolder(pugi::xml_node parent, const char* pszFolder, const CEwsHeader& header) {
    pugi::xml_node folder = parent.append_child("t:DistinguishedFolderId");
    folder.append_attribute("Id") = pszFolder;
    // The user's own mailbox needs no name; the impersonated user's rights
    // on another one are Exchange's to check.
    if (!header.sMailbox.empty() && !SameNoCase(header.sMailbox, header.sImpersonated))
        folder.append_child("t:Mailbox").append_child("t:EmailAddress").text().set(header.sMailbox.c_str());
}

void AddField(pugi::xml_node parent, const char* pszFieldUri) {
    parent.append_child("t:FieldURI").append_attribute("FieldURI") = pszFieldUri;
}

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
    const HRESULT hr = HResultFromWin32(ERROR_INVALID_DATA);
    error = {hr, "malformed answer: " + sWhat};
    return hr;
}

HRESULT CAnswer::Load(std::string_view sAnswer, const std::string& sOperation, CEwsError& error) {
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

bool ReadBoolean(std::string_view sText, bool& bValue) {
    if (sText == "true" || sText == "1") return bValue = true, true;
    if (sText == "false" || sText == "0") return bValue = false, true;
    return false;
}

bool ReadLong(std::string_view sText, long& nValue) {
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return error == std::errc() && pEnd == sText.data() + sText.size() && !sText.empty();
}

}  // namespace ews
