#include "host/library.h"

#include <dlfcn.h>

namespace kxhost {

void* OpenLibrary(const std::string& sPath, std::string& sError) {
    void* pLibrary = dlopen(sPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (pLibrary == nullptr) {
        const char* pszError = dlerror();
        sError = pszError != nullptr ? pszError : "dlopen failed";
    }
    return pLibrary;
}

void* LibraryExport(void* pLibrary, const char* pszName) { return dlsym(pLibrary, pszName); }

void CloseLibrary(void* pLibrary) { dlclose(pLibrary); }

}  // namespace kxhost
