#include <gtest/gtest.h>

#include "platform/registry_file.h"

namespace {

TEST(RegistryFile, ReadsKeysDwordsAndStringsIgnoringCase) {
    CRegistryFile registry;
    std::string sError;
    ASSERT_TRUE(registry.Parse("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                               "; a comment\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Kalyxa]\r\n"
                               "\"Level\"=dword:0000000e\r\n"
                               "\"Path\"=\"C:\\\\Quorvane \\\"Kalyxa\\\"\"\r\n"
                               "\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
                               "@=\"default\"\r\n",
                               sError))
        << sError;
    EXPECT_TRUE(registry.HasLocalMachineKey("Software\\quorvane\\KALYXA"));
    const CRegistryValue* pLevel = registry.FindLocalMachineValue("Software\\Quorvane\\Kalyxa", "level");
    ASSERT_NE(pLevel, nullptr);
    EXPECT_EQ(pLevel->dwType, REG_DWORD);
    EXPECT_EQ(pLevel->dwValue, 14u);
    const CRegistryValue* pPath = registry.FindLocalMachineValue("Software\\Quorvane\\Kalyxa", "Path");
    ASSERT_NE(pPath, nullptr);
    EXPECT_EQ(pPath->sText, "C:\\Quorvane \"Kalyxa\"");
    EXPECT_EQ(registry.FindLocalMachineValue("Software\\Quorvane\\Kalyxa", "Blob")->dwType, REG_OTHER);
    EXPECT_EQ(registry.FindLocalMachineValue("Software\\Quorvane\\Kalyxa", "")->sText, "default");
    EXPECT_EQ(registry.FindLocalMachineValue("Software\\Quorvane", "Level"), nullptr);
}

TEST(RegistryFile, MalformedFilesAreRefusedWithTheLine) {
    const char* const bad[] = {
        "REGEDIT4\n",
        "Windows Registry Editor Version 5.00\n\"x\"=dword:1\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:zz\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"x=\"unterminated\n",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n",
        "",
    };
    for (const char* pszText : bad) {
        CRegistryFile registry;
        std::string sError;
        EXPECT_FALSE(registry.Parse(pszText, sError)) << pszText;
        EXPECT_FALSE(sError.empty());
        EXPECT_FALSE(registry.HasLocalMachineKey("A"));
    }
}

}  // namespace
