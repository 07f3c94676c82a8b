// The product's client scripts run by node with a stand-in window: the
// commands they open for the buttons and links the worker puts into pages.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/node_script.h"

namespace {

// Runs the script in a context whose window records what it opens, with the
// page's variables in sVariables, then sCalls; prints the opened URLs.
std::string Opened(const std::string& sFile, const std::string& sVariables, const std::string& sCalls,
                   bool bBlocked = false) {
    const std::string sProgram =
        "const vm = require('vm');\n"
        "const opened = [];\n"
        "const window = { location: { href: '' }, open: (url) => { opened.push(url); return " +
        std::string(bBlocked ? "null" : "{}") +
        "; } };\n"
        "vm.createContext(window);\n"
        "vm.runInContext(" + std::string("`") + sVariables + "`, window);\n"
        "vm.runInContext(require('fs').readFileSync('" + std::string(KX_CLIENT_FOLDER) + "/" + sFile +
        "', 'utf8'), window);\n"
        "vm.runInContext(`" + sCalls + "`, window);\n"
        "if (window.location.href) opened.push('location ' + window.location.href);\n"
        "console.log(JSON.stringify(opened));\n";
    std::string sOutput;
    EXPECT_TRUE(RunNode(sProgram, sOutput)) << sOutput;
    return sOutput;
}

TEST(ClientScript, CommandsGoThroughTheWorkersCommandParameter) {
    const std::string sVariables =
        "var g_qvkx_owapath = '/owa/bob@example.test/'; var g_qvkx_CmdPName = 'qvkxcmd';"
        "var g_qvkx_CmdMngDgs = 'mngdgs'; var g_qvkx_CmdCalSearch = 'calsearch';";
    EXPECT_EQ(Opened("qv_kxutil.js", sVariables,
                     "qvkx_OpnMngDgs(); qvkx_OpnMngCds(); qvkx_OpnAddHlds(); qvkx_LaunchCalendarSearch(0, 1);"
                     "qvkx_LaunchCalendarSearch();"),
              "[\"/owa/bob@example.test/?qvkxcmd=mngdgs\",\"/owa/bob@example.test/?qvkxcmd=mngcds\","
              "\"/owa/bob@example.test/?qvkxcmd=addhld\",\"/owa/bob@example.test/?qvkxcmd=calsearch&src=0&dg=1\","
              "\"/owa/bob@example.test/?qvkxcmd=calsearch&src=0\"]\n");
}

TEST(ClientScript, WithoutPageVariablesOrWindowsItStillGoesSomewhereSensible) {
    EXPECT_EQ(Opened("qv_kxutil.js", "", "qvkx_OpnMngDgs();", true),
              "[\"/owa/?qvkxcmd=mngdgs\",\"location /owa/?qvkxcmd=mngdgs\"]\n")
        << "a blocked window: this one goes";
    EXPECT_EQ(Opened("qv_kxutil.js", "var g_qvkx_owapath = '/owa/';", "qvkx_onClkM('RgA+/=');"),
              "[\"location /owa/?ae=Item&t=IPM.Appointment&id=RgA%2B%2F%3D\"]\n");
}

TEST(ClientScript, TheBellOpensTheRemindersPage) {
    EXPECT_EQ(Opened("qv_brmnd.js", "var g_QVKX_sUserBase = 'https://mail.example.test/owa/';",
                     "f_onClickRemindersLink();"),
              "[\"https://mail.example.test/owa/?cmd=qvgetrmndpg\"]\n");
}

}  // namespace
