#include "platform/dynamic_library.h"

#include <dlfcn.h>

void* LoadDynamicLibrary(const std::string& sPath) { return dlopen(sPath.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* FindExport(void* pLibrary, const char* pszName) {
    return pLibrary == nullptr ? nullptr : dlsym(pLibrary, pszName);
}

std::string DynamicLibraryFile(const std::string& sName) { return sName + ".so"; }
