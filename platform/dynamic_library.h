// Loading shared libraries and finding their exports.
#ifndef KX_PLATFORM_DYNAMIC_LIBRARY_H
#define KX_PLATFORM_DYNAMIC_LIBRARY_H

#include <string>

// sName with the system's ending for shared libraries ("LogModule.so", "LogModule.dll").
std::string DynamicLibraryFile(const std::string& sName);
// Null when the library cannot be loaded.
void* LoadDynamicLibrary(const std::string& sPath);
// Null when the export is missing.
void* FindExport(void* pLibrary, const char* pszName);

#endif  // KX_PLATFORM_DYNAMIC_LIBRARY_H
