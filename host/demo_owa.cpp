#include "host/demo_owa.h"

#include <httplib.h>

#include <fstream>
#include <sstream>

#include "host/host_text.h"

namespace kxhost {

namespace {

std::string ReadFile(const std::string& sPath) {
    std::ifstream file(sPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Escaped(const std::string& sText) {
    std::string sOut;
    for (const char ch : sText) {
        switch (ch) {
            case '&': sOut += "&amp;"; break;
            case '<': sOut += "&lt;"; break;
            case '>': sOut += "&gt;"; break;
            case '"': sOut += "&quot;"; break;
            default: sOut += ch;
        }
    }
    return sOut;
}

void Replace(std::string& sText, const std::string& sFrom, const std::string& sTo) {
    for (size_t nAt = sText.find(sFrom); nAt != std::string::npos; nAt = sText.find(sFrom, nAt + sTo.size()))
        sText.replace(nAt, sFrom.size(), sTo);
}

// The calendar view an "a" value of OWA or the product names.
std::string ViewName(const std::string& sAction) {
    static const char* const NAMES[] = {"Day view", "Week view", "Work week view", "Month view"};
    if (!StartsWithNoCase(sAction, "QvView")) return "Day view";
    for (const char ch : sAction)
        if (ch >= '1' && ch <= '4') return NAMES[ch - '1'];
    return NAMES[0];
}

}  // namespace

DemoOwa::DemoOwa(std::string sPages) : m_sPages(std::move(sPages)), m_spServer(std::make_unique<httplib::Server>()) {
    m_spServer->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        if (StartsWithNoCase(request.path, "/owa/X-Kalyxa/")) {
            std::string sPage = ReadFile(m_sPages + "/handler.html"), sRows;
            for (const auto& [sName, sValue] : request.headers)
                if (StartsWithNoCase(sName, "x-qvkx") || SameNoCase(sName, "x-kalyxa"))
                    sRows += "<tr><td>" + Escaped(sName) + "</td><td>" + Escaped(sValue) + "</td></tr>";
            Replace(sPage, "{{PAGE}}", Escaped(request.path.substr(14)));
            Replace(sPage, "{{HEADERS}}", sRows);
            response.set_content(sPage, "text/html; charset=utf-8");
        } else if (request.path == "/owa/" || request.path == "/owa") {
            std::string sPage = ReadFile(m_sPages + "/calendar.html");
            Replace(sPage, "{{VIEW}}", ViewName(request.get_param_value("a")));
            response.set_content(sPage, "text/html; charset=utf-8");
        } else if (StartsWithNoCase(request.path, "/owa/14.3.123.4/themes/")) {
            // The page styles itself; OWA's theme files are stood in for.
            const bool bImage = request.path.size() > 4 && request.path.compare(request.path.size() - 4, 4, ".gif") == 0;
            if (bImage)
                response.set_content(ReadFile(m_sPages + "/bsearch.gif"), "image/gif");
            else
                response.set_content("", "text/css");
        } else if (StartsWithNoCase(request.path, "/owa/14.3.123.4/scripts/")) {
            response.set_content("// OWA's own " + request.path.substr(request.path.rfind('/') + 1) + "\n",
                                 "application/javascript");
        } else if (request.path == "/favicon.ico") {
            response.status = 204;
        } else {
            response.status = 404;
            response.set_content("Not part of the demo.\n", "text/plain");
        }
    });
}

DemoOwa::~DemoOwa() {
    m_spServer->stop();
    if (m_thread.joinable()) m_thread.join();
}

int DemoOwa::Start(const std::string& sHost, int nPort) {
    m_sHost = sHost;
    m_nPort = nPort == 0 ? m_spServer->bind_to_any_port(sHost.c_str())
                         : (m_spServer->bind_to_port(sHost.c_str(), nPort) ? nPort : -1);
    if (m_nPort < 0) return -1;
    m_thread = std::thread([this] { m_spServer->listen_after_bind(); });
    return m_nPort;
}

}  // namespace kxhost
