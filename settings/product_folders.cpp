#include "settings/product_folders.h"

std::string ModuleFolder(const std::string& sModuleFile, int nLevelsUp) {
    const size_t nSlash = sModuleFile.rfind('/');
    if (nSlash == std::string::npos) return {};
    std::string sFolder = sModuleFile.substr(0, nSlash + 1);
    for (int nLevel = 0; nLevel < nLevelsUp && sFolder.size() >= 2; ++nLevel) {
        const size_t nParent = sFolder.rfind('/', sFolder.size() - 2);
        if (nParent == std::string::npos) break;
        sFolder.resize(nParent + 1);
    }
    return sFolder;
}

CProductFolders DeriveProductFolders(const std::string& sProductFolder, const std::string& sResourceModuleName) {
    CProductFolders folders;
    folders.m_productFolder = sProductFolder;
    if (sProductFolder.size() > 2) {
        const size_t nParent = sProductFolder.rfind('/', sProductFolder.size() - 2);
        if (nParent != std::string::npos) {
            folders.m_productFolderName = sProductFolder.substr(nParent + 1, sProductFolder.size() - nParent - 2);
            folders.m_commonFilesFolder = sProductFolder.substr(0, nParent + 1) + "Common Files/";
        }
    }
    folders.m_settingsFolder = sProductFolder + "Settings/";
    folders.m_resourceModulePath = sProductFolder + "Resource/" + sResourceModuleName;
    return folders;
}
