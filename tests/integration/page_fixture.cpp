#include "tests/integration/page_fixture.h"

#include "tests/support/node_script.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

void PageTest::SetUpPage(const std::string& sPage, const std::string& sUrl) {
    m_ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
    m_spec.sUser = "ana.lima";
    m_spec.nSubscriptionType = 4;
    m_spec.sUrl = sUrl;
    m_spec.headers = {{"User-Agent", "Mozilla/5.0 (X11; Linux x86_64)"},
                      {"Accept-Language", "en-US,en;q=0.8"},
                      {"Cookie", "UserContext=c0ffee; sessionid=s1"}};
    m_spec.serverVariables = {{"QV_USERNAME", "EXAMPLE\\ana.lima"}, {"HEADER_QV_CSMPREFIX", PAGE_SCRIPT_PREFIX}};
    m_spec.sRoot = "https://mail.example.test";
    m_spec.sBody = ReadData(sPage);
}

void PageTest::Start(std::map<int, std::string> settings) {
    settings.emplace(38, m_ews.Url());
    m_spProduct = std::make_unique<TemporaryProduct>(true, settings);
    m_spWorker = StartWorker(*m_spProduct);
    ASSERT_TRUE(m_spWorker->IsLoaded());
}

void PageTest::StartTraced(std::map<int, std::string> settings) {
    settings.emplace(14, "1");
    settings.emplace(12, "2");
    settings.emplace(39, m_logFolder.string());
    Start(std::move(settings));
}

std::string PageTest::TraceLog() { return StopAndReadTraceLog(m_spWorker, m_logFolder.string()); }

std::string PageTest::SendResponse() {
    kxhost::HostRequest request(m_services, m_spec);
    for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_SEND_RESPONSE,
                                 SF_NOTIFY_SEND_RAW_DATA, SF_NOTIFY_END_OF_REQUEST}) {
        auto* pOutbound = static_cast<COutboundContext*>(request.Context()->m_spOutboundContext.pObject);
        if (dwNotification == SF_NOTIFY_SEND_RAW_DATA && m_beforeRawData) m_beforeRawData(*pOutbound->m_pCommonPointers);
        request.Notify(m_spWorker->FilterProc(), dwNotification);
    }
    EXPECT_EQ(request.SubmitError(), "");
    m_sRoutedUrl = request.Spec().sUrl;
    return request.SentResponse();
}

std::string PageTest::Send() {
    const std::string sSent = SendResponse();
    const size_t nBody = sSent.find("\r\n\r\n");
    return nBody == std::string::npos ? std::string() : sSent.substr(nBody + 4);
}

std::string ReadData(const std::string& sName) {
    std::ifstream file(std::string(KX_TEST_DATA) + "/" + sName, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Replaced(std::string sText, const std::string& sFrom, const std::string& sTo) {
    const size_t nAt = sText.find(sFrom);
    EXPECT_NE(nAt, std::string::npos) << sFrom;
    if (nAt != std::string::npos) sText.replace(nAt, sFrom.size(), sTo);
    return sText;
}

void ExpectGolden(const std::string& sName, const std::string& sPage) {
    const std::string sPath = std::string(KX_TEST_DATA) + "/golden/" + sName + ".html";
    if (std::getenv("KX_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(sPath, std::ios::binary) << sPage;
        return;
    }
    const std::string sExpected = ReadData("golden/" + sName + ".html");
    ASSERT_FALSE(sExpected.empty()) << sPath << " is missing";
    size_t nDiffer = 0;
    while (nDiffer < sPage.size() && nDiffer < sExpected.size() && sPage[nDiffer] == sExpected[nDiffer]) ++nDiffer;
    EXPECT_EQ(sPage.size(), sExpected.size()) << sName;
    EXPECT_EQ(nDiffer, std::max(sPage.size(), sExpected.size()))
        << sName << " differs at " << nDiffer << ":\n  sent:     " << sPage.substr(nDiffer, 120)
        << "\n  expected: " << sExpected.substr(nDiffer, 120);
}

std::string HeadScript(const CHtmlTree& tree, const char* pszMarker) {
    const GumboNode* pHead = tree.Child(tree.Root(), GUMBO_TAG_HEAD);
    for (const GumboNode* pScript : CHtmlTree::ByTag(pHead, GUMBO_TAG_SCRIPT)) {
        const std::string sText = CHtmlTree::Text(pScript);
        if (sText.find(pszMarker) != std::string::npos) return sText;
    }
    return "";
}

// The bytes of a variable of the head script holding pszMarker, as node has it.
std::optional<std::string> ScriptVariable(const CHtmlTree& tree, const char* pszMarker, const char* pszName) {
    const std::string sBlock = HeadScript(tree, pszMarker);
    if (sBlock.empty()) return std::nullopt;
    std::string sOutput;
    if (!RunNode(sBlock + "\nprocess.stdout.write(Buffer.from(" + pszName + ", 'utf8'));\n",
                 sOutput))
        return "(node failed: " + sOutput + ")";
    return sOutput;
}

int ProductScriptLinks(const CHtmlTree& tree, const std::string& sFile) {
    int nLinks = 0;
    for (const GumboNode* pScript : CHtmlTree::ByTag(tree.Child(tree.Root(), GUMBO_TAG_HEAD), GUMBO_TAG_SCRIPT))
        if (CHtmlTree::Attribute(pScript, "src") == PAGE_SCRIPT_FOLDER + sFile) ++nLinks;
    return nLinks;
}

httplib::Response ReadThroughHttpClient(const std::string& sRaw) {
    const int nListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    EXPECT_EQ(bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(listen(nListener, 1), 0);
    getsockname(nListener, reinterpret_cast<sockaddr*>(&address), &nLength);
    std::thread server([&] {
        const int nClient = accept(nListener, nullptr, nullptr);
        char buffer[4096];
        std::string sRequest;
        while (sRequest.find("\r\n\r\n") == std::string::npos) {
            const ssize_t nRead = read(nClient, buffer, sizeof(buffer));
            if (nRead <= 0) break;
            sRequest.append(buffer, static_cast<size_t>(nRead));
        }
        EXPECT_EQ(write(nClient, sRaw.data(), sRaw.size()), static_cast<ssize_t>(sRaw.size()));
        close(nClient);
    });
    httplib::Client client("127.0.0.1", ntohs(address.sin_port));
    const httplib::Result result = client.Get("/");
    server.join();
    close(nListener);
    EXPECT_TRUE(result) << httplib::to_string(result.error());
    return result ? *result : httplib::Response();
}
