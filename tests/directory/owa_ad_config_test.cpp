#include <gtest/gtest.h>

#include <fstream>

#include "directory/owa_ad_config.h"
#include "platform/utf.h"
#include "tests/directory/directory_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

class OwaConfiguration : public DirectoryTest {
protected:
    COWAADConfig m_config;
    OwaConfiguration() { m_config.m_sServerName = u"MAIL01"; }
};

std::vector<std::string> Texts(const CNoCaseStringList& list) {
    std::vector<std::string> texts;
    for (const CNoCaseString& s : list) texts.emplace_back(s.data(), s.size());
    return texts;
}

TEST_F(OwaConfiguration, ReadsTheServersVirtualDirectory) {
    TraceCapture trace;
    EXPECT_EQ(m_config.ReadProperties(u"mail01.kalyxa.test", u""), S_OK);
    EXPECT_EQ(m_config.m_sSecondName, u"mail01.kalyxa.test");
    EXPECT_EQ(m_config.m_sOrganizationCN, u"Quorvane Test");
    EXPECT_EQ(Utf16ToUtf8(m_config.m_sOWAVirtualDirectoryDN),
              "CN=owa (Default Web Site),CN=HTTP,CN=Protocols,CN=MAIL01,CN=Servers,CN=Exchange Administrative Group "
              "(FYDIBOHF23SPDLT),CN=Administrative Groups,CN=Quorvane Test,CN=Microsoft Exchange,CN=Services,"
              "CN=Configuration,DC=kalyxa,DC=test");
    EXPECT_EQ(m_config.m_properties.size(), 37u);
    EXPECT_EQ(m_config.m_nVersion, 8);
    EXPECT_EQ(m_config.m_nUserContextTimeOut, 60);
    EXPECT_EQ(m_config.m_nNotificationInterval, 120) << "stored as text";
    EXPECT_EQ(m_config.m_nDefaultClientLanguage, 4105);
    EXPECT_EQ(m_config.m_csMaxTranscodableDocumentSize, "5000000");
    EXPECT_EQ(Texts(m_config.m_lstAllowedFileTypes), (std::vector<std::string>{".doc", ".pdf", ".txt"}));
    EXPECT_TRUE(m_config.m_lstRemoteDocumentsAllowedServers.empty());
    EXPECT_EQ(m_config.m_csExternalHostName, "HTTPS://MAIL.KALYXA.TEST/OWA") << "compared ignoring case";
    EXPECT_EQ(m_config.m_sDefaultTheme, "") << "not on the object: the default stays";
    EXPECT_TRUE(trace.Contains(" Read OWAProperty msExchOWADefaultTheme not found "));
    EXPECT_TRUE(trace.Contains("[COWAADConfig::ReadProperties] GetExchangeOrganizationCN succeeded.  CN is <Quorvane "
                               "Test>"));
    EXPECT_TRUE(trace.Contains("GetOWAWebSiteCN ExecuteSearch got a handle"));
}

TEST_F(OwaConfiguration, ANamedDomainControllerIsUsed) {
    EXPECT_EQ(m_config.ReadProperties(u"x", Utf8ToUtf16(Directory().HostPort())), S_OK);
    EXPECT_EQ(m_config.m_nLogonFormat, 2);
}

TEST_F(OwaConfiguration, AnUnknownServerStopsAtTheVirtualDirectory) {
    TraceCapture trace;
    m_config.m_sServerName = u"NOSUCHSERVER";
    EXPECT_EQ(m_config.ReadProperties(u"x", u""), static_cast<HRESULT>(0x80072030));
    EXPECT_TRUE(trace.Contains("[COWAADConfig::ReadProperties] GetExchangeOrganizationCN succeeded.  CN is <Quorvane "
                               "Test>"));
    bool bLine = false;
    for (const std::string& sLine : trace.Lines())
        bLine |= sLine.rfind("GetOWAWebSiteCN ExecuteSearch failed ", 0) == 0 &&
                 sLine.find("HR=0x80072030 ") != std::string::npos && sLine.find("LDAP Provider") != std::string::npos;
    EXPECT_TRUE(bLine) << "the extended error names the provider";
    EXPECT_EQ(m_config.m_nVersion, 0);
}

TEST_F(OwaConfiguration, NamesWithDnSpecialsAndSlashesStayOneValue) {
    // A server whose name holds "," "+" and "/": its escaped RDN, and the
    // "/" escaped again in every ADSI path.
    const std::string sTail = ",CN=Servers,CN=Exchange Administrative Group (FYDIBOHF23SPDLT),CN=Administrative Groups,"
                              "CN=Quorvane Test,CN=Microsoft Exchange,CN=Services,CN=Configuration,DC=kalyxa,DC=test";
    const std::string sServer = "CN=EU\\,MAIL\\+02/B" + sTail;
    const std::string sOwa = "CN=owa (Default Web Site),CN=HTTP,CN=Protocols," + sServer;
    // The new virtual directory: MAIL01's, but for its DN and version.
    std::ifstream file(std::string(KX_TEST_DATA) + "/ldap/directory.ldif");
    std::string sLine, sAttributes;
    bool bInOwa = false;
    while (std::getline(file, sLine)) {
        if (sLine.rfind("dn: CN=owa (Default Web Site),CN=HTTP,CN=Protocols,CN=MAIL01,", 0) == 0) bInOwa = true;
        else if (sLine.empty()) bInOwa = false;
        else if (bInOwa && sLine.rfind("distinguishedName:", 0) != 0 && sLine.rfind("msExchOWAVersion:", 0) != 0)
            sAttributes += sLine + "\n";
    }
    ASSERT_FALSE(sAttributes.empty());
    Directory().Modify("dn: " + sServer + "\nchangetype: add\nobjectClass: container\ncn: EU,MAIL+02/B\n\n"
                       "dn: CN=Protocols," + sServer + "\nchangetype: add\nobjectClass: container\ncn: Protocols\n\n"
                       "dn: CN=HTTP,CN=Protocols," + sServer + "\nchangetype: add\nobjectClass: container\ncn: HTTP\n\n"
                       "dn: " + sOwa + "\nchangetype: add\n" + sAttributes +
                       "distinguishedName: " + sOwa + "\nmsExchOWAVersion: 14\n");
    m_config.m_sServerName = u"EU,MAIL+02/B";
    EXPECT_EQ(m_config.ReadProperties(u"x", u""), S_OK);
    EXPECT_EQ(m_config.m_nVersion, 14) << "the virtual directory of that server, not of another";
    m_config.m_sServerName = u"MAIL01,CN=Servers";
    EXPECT_NE(m_config.ReadProperties(u"x", u""), S_OK) << "a name cannot move the search base";
}

TEST_F(OwaConfiguration, AnUnreachableDirectoryIsAnErrorNotAHang) {
    TraceCapture trace;
    std::string sClosedPort;
    {
        MisbehavingPeer peer(true);
        sClosedPort = peer.HostPort();
    }  // nothing listens there any more
    EXPECT_EQ(m_config.ReadProperties(u"x", Utf8ToUtf16(sClosedPort)), static_cast<HRESULT>(0x8007203A));
    bool bLine = false;
    for (const std::string& sLine : trace.Lines())
        bLine |= sLine.rfind("[COWAADConfig::ReadProperties] Could not get rootDSE 0x8007203a ", 0) == 0;
    EXPECT_TRUE(bLine);
}

TEST_F(OwaConfiguration, ASilentOrDroppingDirectoryCostsABoundedWait) {
    for (bool bHang : {true, false}) {
        MisbehavingPeer peer(bHang);
        const HRESULT hr = m_config.ReadProperties(u"x", Utf8ToUtf16(peer.HostPort()));
        EXPECT_NE(hr, S_OK) << (bHang ? "silent" : "dropping");
        EXPECT_TRUE(IsWin32Facility(hr)) << std::hex << hr;
    }
}

TEST_F(OwaConfiguration, AValueOfTheWrongKindIsReportedAndTheOthersAreRead) {
    const std::string sOwa =
        "dn: CN=owa (Default Web Site),CN=HTTP,CN=Protocols,CN=MAIL01,CN=Servers,CN=Exchange Administrative Group "
        "(FYDIBOHF23SPDLT),CN=Administrative Groups,CN=Quorvane Test,CN=Microsoft Exchange,CN=Services,"
        "CN=Configuration,DC=kalyxa,DC=test\nchangetype: modify\nreplace: msExchOWANotificationInterval\n"
        "msExchOWANotificationInterval: ";
    Directory().Modify(sOwa + "soon\n");
    TraceCapture trace;
    EXPECT_EQ(m_config.ReadProperties(u"x", u""), S_OK);
    EXPECT_TRUE(trace.Contains("Read content from OWA prop failed msExchOWANotificationInterval "));
    EXPECT_EQ(m_config.m_nNotificationInterval, 0);
    EXPECT_EQ(m_config.m_nGZipLevel, 1) << "read after the failed one";
    Directory().Modify(sOwa + "120\n");
}

}  // namespace
