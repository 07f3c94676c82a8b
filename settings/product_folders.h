// The product's folders, derived from the worker module's own path.
#ifndef KX_SETTINGS_PRODUCT_FOLDERS_H
#define KX_SETTINGS_PRODUCT_FOLDERS_H

#include <string>

struct CProductFolders {
    std::string m_productFolder;      // with a trailing "/"
    std::string m_productFolderName;  // its last component
    std::string m_commonFilesFolder;  // "Common Files/" beside the product folder
    std::string m_settingsFolder;     // product folder + "Settings/"
    std::string m_resourceModulePath; // product folder + "Resource/" + resource module
};

// The folder of sModuleFile (with a trailing "/"), then levelsUp folders up;
// a path with no further "/" stays where it is.
std::string ModuleFolder(const std::string& sModuleFile, int nLevelsUp);

// The folders of a product folder (with its trailing "/").
CProductFolders DeriveProductFolders(const std::string& sProductFolder, const std::string& sResourceModuleName);

#endif  // KX_SETTINGS_PRODUCT_FOLDERS_H
