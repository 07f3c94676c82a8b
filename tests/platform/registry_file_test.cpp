#include "platform/posix/registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

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

// Loads the registry stand-in from sPath (QV_REGISTRY_FILE).
bool LoadFrom(const std::string& sPath, CRegistryFile& registry, std::string& sError) {
    setenv("QV_REGISTRY_FILE", sPath.c_str(), 1);
    const bool bLoaded = registry.Load(sError);
    unsetenv("QV_REGISTRY_FILE");
    return bLoaded;
}

TEST(RegistryFile, RegeditsOwnUtf16ExportIsRead) {
    std::string sBytes = "\xFF\xFE";  // UTF-16LE with its byte-order mark, as regedit writes it
    for (char16_t ch : u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Exchange\\Setup]\r\n"
                       u"\"MsiProductMajor\"=dword:00000008\r\n\"Owner\"=\"Zo\u00eb\"\r\n") {
        if (ch == 0) break;
        sBytes += static_cast<char>(ch & 0xFF);
        sBytes += static_cast<char>(ch >> 8);
    }
    const std::string sPath = "/tmp/kx-registry-utf16-" + std::to_string(getpid()) + ".reg";
    std::ofstream(sPath, std::ios::binary) << sBytes;
    CRegistryFile registry;
    std::string sError;
    EXPECT_TRUE(LoadFrom(sPath, registry, sError)) << sError;
    const CRegistryValue* pMajor = registry.FindLocalMachineValue("Software\\Microsoft\\Exchange\\Setup", "MsiProductMajor");
    ASSERT_NE(pMajor, nullptr);
    EXPECT_EQ(pMajor->dwValue, 8u);
    EXPECT_EQ(registry.FindLocalMachineValue("Software\\Microsoft\\Exchange\\Setup", "Owner")->sText, "Zo\u00eb");
    std::ofstream(sPath, std::ios::binary) << std::string("\xFF\xFEW\0i\0n", 7);
    EXPECT_FALSE(LoadFrom(sPath, registry, sError)) << "an odd length is no UTF-16 text";
    unlink(sPath.c_str());
}

TEST(RegistryFile, DevicesAndPipesAreRefusedWithoutReading) {
    CRegistryFile registry;
    std::string sError;
    EXPECT_FALSE(LoadFrom("/dev/zero", registry, sError)) << "never read a device to its (missing) end";
    EXPECT_EQ(sError, "registry file is no regular file");
    const std::string sFifo = "/tmp/kx-registry-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(sFifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadFrom(sFifo, registry, sError)) << "a FIFO without a writer must not block";
    unlink(sFifo.c_str());
    EXPECT_TRUE(LoadFrom("/nonexistent/registry.reg", registry, sError)) << "no file: no keys";
}

}  // namespace
