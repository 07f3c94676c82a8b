// The built worker against a real directory: its start-up and the routing
// that reads it. libldap reads its default server once per process, so each
// case needs a process of its own (ctest runs every case so).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>

#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/directory/directory_test_support.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/slapd_directory.h"

namespace {

// This machine's short name: the server whose OWA configuration the worker reads.
std::string HostName() {
    char szName[256] = {};
    ::gethostname(szName, sizeof szName - 1);
    std::string sName = szName;
    return sName.substr(0, sName.find('.'));
}

// Adds this machine as an Exchange server with an OWA virtual directory.
void AddThisServer(CSlapdDirectory& directory) {
    const std::string sServers = "CN=Servers,CN=Exchange Administrative Group (FYDIBOHF23SPDLT),CN=Administrative "
                                 "Groups,CN=Quorvane Test,CN=Microsoft Exchange,CN=Services,CN=Configuration,"
                                 "DC=kalyxa,DC=test";
    const std::string sServer = "CN=" + HostName() + "," + sServers;
    const std::string sOwa = "CN=owa (Default Web Site),CN=HTTP,CN=Protocols," + sServer;
    std::string sLdif;
    for (const auto& [sDn, sCn] : {std::pair{sServer, HostName()}, std::pair{"CN=Protocols," + sServer, std::string("Protocols")},
                                   std::pair{"CN=HTTP,CN=Protocols," + sServer, std::string("HTTP")}})
        sLdif += "dn: " + sDn + "\nchangetype: add\nobjectClass: container\ncn: " + sCn + "\nobjectCategory: container\n\n";
    sLdif += "dn: " + sOwa + "\nchangetype: add\nobjectClass: msExchOWAVirtualDirectory\ncn: owa (Default Web Site)\n"
             "objectCategory: msExchOWAVirtualDirectory\ndistinguishedName: " + sOwa +
             "\nmsExchOWAVersion: 8\nmsExchOWADefaultTheme: 1\nmsExchOWABlockedFileTypes: .exe\n";
    directory.Modify(sLdif);
}

void UseDirectory(const std::string& sUri) {
    ::setenv("LDAPURI", sUri.c_str(), 1);
    ::setenv("QV_GC_URI", sUri.c_str(), 1);
    ::setenv("QV_LDAP_TIMEOUT", "1", 1);
}

TEST(Startup, ReadsTheOwaConfigurationOnceFromTheDirectory) {
    CSlapdDirectory directory;
    AddThisServer(directory);
    UseDirectory(directory.Uri());
    TemporaryProduct product(/*bWithSettingsFolder=*/true);
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    const long nBefore = directory.CompletedSearches();
    HTTP_FILTER_VERSION version{};
    ASSERT_TRUE(worker.GetFilterVersion(&version));
    const long nRead = directory.CompletedSearches();
    EXPECT_GE(nRead - nBefore, 3) << "the naming context, the organisation, the OWA directory and its attributes";
    ASSERT_TRUE(worker.TerminateFilter(0));
    ASSERT_TRUE(worker.GetFilterVersion(&version)) << "a second start";
    EXPECT_EQ(directory.CompletedSearches(), nRead) << "the configuration is read once per process";
}

TEST(Startup, ADelegatesCalendarCarriesTheDelegatesLegacyExchangeDn) {
    CSlapdDirectory directory;
    UseDirectory(directory.Uri());
    TemporaryProduct product(/*bWithSettingsFolder=*/true);
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version{};
    ASSERT_TRUE(worker.GetFilterVersion(&version));
    kxhost::HostServices services;
    services.m_userProperties["rroe"][0x8602] = "3";
    // The header and the rewritten URL of a request for the delegate's calendar.
    const auto delegate = [&](const std::string& sMailbox, std::string& sHeader, std::string& sUrl) {
        kxhost::RequestSpec spec;
        spec.sUser = "rroe";
        spec.serverVariables["QV_USERNAME"] = "KALYXA\\rroe";
        spec.nSubscriptionType = 4;
        spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment&a=QvDgView&qvdgmx=" + sMailbox;
        kxhost::HostRequest request(services, spec);
        request.Notify(worker.FilterProc(), SF_NOTIFY_PREPROC_HEADERS);
        EXPECT_EQ(request.Notify(worker.FilterProc(), SF_NOTIFY_AUTH_COMPLETE), 0u);
        for (const kxhost::HeaderAction& action : request.HeaderActions()) {
            if (action.sName == "X-QVLgExDN:") sHeader = action.sValue;
            if (action.sName == "URL") sUrl = action.sValue;
        }
        request.Notify(worker.FilterProc(), SF_NOTIFY_END_OF_REQUEST);
    };
    // Base64 of "/o=Quorvane/ou=First Administrative Group/cn=Recipients/cn=jdoe".
    const std::string sEncoded = "L289UXVvcnZhbmUvb3U9Rmlyc3QgQWRtaW5pc3RyYXRpdmUgR3JvdXAvY249UmVjaXBpZW50cy9jbj1qZG9l";
    std::string sHeader, sUrl;
    delegate("jane.doe@kalyxa.test", sHeader, sUrl);
    EXPECT_EQ(sHeader, sEncoded);
    EXPECT_EQ(sUrl, "/owa/?ae=Folder&t=IPF.Appointment&a=QvDgView3&qvdgmx=jane.doe@kalyxa.test&qvdglgx=" + sEncoded);
    // A delegate of the forest's second domain.
    delegate("bruno.costa@emea.kalyxa.test", sHeader, sUrl);
    // Base64 of "/o=Quorvane/ou=Exchange Administrative Group (FYDIBOHF23SPDLT)/cn=Recipients/cn=bcosta".
    EXPECT_EQ(sHeader, "L289UXVvcnZhbmUvb3U9RXhjaGFuZ2UgQWRtaW5pc3RyYXRpdmUgR3JvdXAgKEZZRElCT0hGMjNTUERMVCkv"
                       "Y249UmVjaXBpZW50cy9jbj1iY29zdGE=");
}

TEST(Startup, AnUnansweringDirectoryCostsABoundedWaitAndTheWorkerStarts) {
    MisbehavingPeer peer(/*bHang=*/true);
    UseDirectory("ldap://" + peer.HostPort());
    TemporaryProduct product(/*bWithSettingsFolder=*/true);
    kxhost::WorkerModule worker(product.WorkerCopy());
    ASSERT_TRUE(worker.IsLoaded()) << worker.Error();
    HTTP_FILTER_VERSION version{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.GetFilterVersion(&version)) << "the directory read is not needed to start";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(version.dwFilterVersion, 0x00070000u);
}

}  // namespace
