#include <gtest/gtest.h>

#include "settings/product_folders.h"

namespace {

TEST(ProductFolders, DerivedFromTheModuleInTheBinFolder) {
    const std::string sProduct = ModuleFolder("/X/Kalyxa/bin/KX_ServiceWorker.so", 1);
    EXPECT_EQ(sProduct, "/X/Kalyxa/");
    const CProductFolders folders = DeriveProductFolders(sProduct, "KXRes.dll");
    EXPECT_EQ(folders.m_productFolder, "/X/Kalyxa/");
    EXPECT_EQ(folders.m_productFolderName, "Kalyxa");
    EXPECT_EQ(folders.m_commonFilesFolder, "/X/Common Files/");
    EXPECT_EQ(folders.m_settingsFolder, "/X/Kalyxa/Settings/");
    EXPECT_EQ(folders.m_resourceModulePath, "/X/Kalyxa/Resource/KXRes.dll");
}

TEST(ProductFolders, LevelsUpStopAtTheRoot) {
    EXPECT_EQ(ModuleFolder("/X/Kalyxa/bin/KX_ServiceWorker.so", 0), "/X/Kalyxa/bin/");
    EXPECT_EQ(ModuleFolder("/bin/KX_ServiceWorker.so", 1), "/");
    EXPECT_EQ(ModuleFolder("/KX_ServiceWorker.so", 3), "/");
    EXPECT_EQ(ModuleFolder("KX_ServiceWorker.so", 1), "");
}

TEST(ProductFolders, ProductAtTheRootHasNoCommonFilesFolder) {
    const CProductFolders folders = DeriveProductFolders("/", "KXRes.dll");
    EXPECT_EQ(folders.m_productFolderName, "");
    EXPECT_EQ(folders.m_commonFilesFolder, "");
    EXPECT_EQ(folders.m_settingsFolder, "/Settings/");
}

}  // namespace
