// The HTTPS client against a real TLS server (tests/support/tls-fixture.sh,
// started by ctest): a certificate is trusted only through the CA file or the
// system, for the name it was made for, and an untrusted server is sent
// nothing.
#include "platform/http_client.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string FixtureFile(const std::string& sName) {
    std::ifstream file(std::string(KX_TLS_FIXTURE) + "/" + sName, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class HttpsClient : public ::testing::Test {
protected:
    CHttpAnswer Post(const std::string& sHost, const std::string& sCaFile, const std::string& sBody) {
        CHttpLimits limits;
        limits.sCaFile = sCaFile.empty() ? "" : std::string(KX_TLS_FIXTURE) + "/" + sCaFile;
        limits.nConnectTimeoutMs = limits.nTimeoutMs = 5000;
        CHttpClient client;
        return client.Post("https://" + sHost + ":" + FixtureFile("port") + "/EWS/exchange.asmx",
                           "text/xml; charset=utf-8", sBody, "", "", limits);
    }
};

TEST_F(HttpsClient, OnlyAServerOfTheTrustedCasForItsNameIsSentTheBody) {
    struct CCase {
        const char* pszWhy;
        const char* pszHost;
        const char* pszCaFile;
        bool bTrusted;
    };
    for (const CCase& test : {CCase{"its CA's file", "localhost", "ca.pem", true},
                              CCase{"another CA's file", "localhost", "other-ca.pem", false},
                              CCase{"the system's CAs", "localhost", "", false},
                              CCase{"a name the certificate is not for", "127.0.0.1", "ca.pem", false},
                              CCase{"a CA file that is not there", "localhost", "missing.pem", false}}) {
        const std::string sBody = std::string("<body why=\"") + test.pszWhy + "\"/>";
        const CHttpAnswer answer = Post(test.pszHost, test.pszCaFile, sBody);
        const bool bReceived = FixtureFile("received").find(sBody) != std::string::npos;
        if (test.bTrusted) {
            ASSERT_EQ(answer.outcome, HttpOutcome::ANSWERED) << answer.sError;
            EXPECT_EQ(answer.nStatus, 200);
            EXPECT_EQ(answer.sBody, sBody);
            EXPECT_TRUE(bReceived);
        } else {
            EXPECT_EQ(answer.outcome, HttpOutcome::NO_CONNECTION) << test.pszWhy;
            EXPECT_FALSE(answer.sError.empty()) << test.pszWhy;
            EXPECT_FALSE(bReceived) << test.pszWhy;
        }
    }
}

}  // namespace
