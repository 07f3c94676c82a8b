// A page sent through the reference host and the built worker, after all
// five notifications, with a fake EWS server and the test directory behind
// the worker; and the checks the page tests share.
#ifndef KX_TESTS_INTEGRATION_PAGE_FIXTURE_H
#define KX_TESTS_INTEGRATION_PAGE_FIXTURE_H

#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/html_tree.h"
#include "tests/support/slapd_directory.h"
#include "tests/support/temporary_folder.h"

// The request's cached-script prefix and the folder it gives the product's files.
constexpr const char* PAGE_SCRIPT_PREFIX = "c0a1f-20261206";
constexpr const char* PAGE_SCRIPT_FOLDER = "QVScripts/Kalyxa/2.0/c0a1f-20261206/";

class PageTest : public ::testing::Test {
protected:
    PageTest() { m_directory.ServeThisProcess(); }
    // Ana's request for sUrl with sPage (a fixture page) as OWA's answer.
    void SetUpPage(const std::string& sPage, const std::string& sUrl);
    // Starts the worker on a product with these settings (and the fake EWS server's address).
    void Start(std::map<int, std::string> settings = {});
    // The same with the trace log on, in a folder of the test's own.
    void StartTraced(std::map<int, std::string> settings = {});
    // The worker's trace log, for what only it shows; the worker is stopped
    // first, which writes the lines it keeps back.
    std::string TraceLog();
    // The whole response as it leaves.
    std::string SendResponse();
    // Its body.
    std::string Send();
    // The URL the host serves after the last request's authentication
    // complete (the worker may have rewritten it).
    std::string m_sRoutedUrl;

    CSlapdDirectory m_directory;
    TemporaryFolder m_logFolder;
    CFakeEwsServer m_ews;
    std::unique_ptr<TemporaryProduct> m_spProduct;
    std::unique_ptr<kxhost::WorkerModule> m_spWorker;
    kxhost::HostServices m_services;
    kxhost::RequestSpec m_spec;
    // Changes the host's pointers into the response just before the page goes to the worker.
    std::function<void(CCommonPointers&)> m_beforeRawData;
};

std::string ReadData(const std::string& sName);
// sText with its first sFrom replaced; fails the test when there is none.
std::string Replaced(std::string sText, const std::string& sFrom, const std::string& sTo);
// The page compared byte for byte with tests/data/golden/<name>.html;
// KX_UPDATE_GOLDEN=1 writes it instead.
void ExpectGolden(const std::string& sName, const std::string& sPage);
// A raw response as an HTTP client reads it, served once on loopback.
httplib::Response ReadThroughHttpClient(const std::string& sRaw);
// The inline script of HEAD whose text holds sMarker; empty when none.
std::string HeadScript(const CHtmlTree& tree, const char* pszMarker);
// The bytes of the variable pszName of the head script holding pszMarker,
// as node has them; nullopt when there is no such script.
std::optional<std::string> ScriptVariable(const CHtmlTree& tree, const char* pszMarker, const char* pszName);
// How many script elements of HEAD load the product file sFile from the prefix folder.
int ProductScriptLinks(const CHtmlTree& tree, const std::string& sFile);

#endif  // KX_TESTS_INTEGRATION_PAGE_FIXTURE_H
