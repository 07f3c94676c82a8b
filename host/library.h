// The host's own loading of shared libraries (it sees nothing of the
// worker's platform layer): dlopen on POSIX, LoadLibrary on Windows.
#ifndef KX_HOST_LIBRARY_H
#define KX_HOST_LIBRARY_H

#include <string>

namespace kxhost {

// Null with sError when the library cannot be loaded.
void* OpenLibrary(const std::string& sPath, std::string& sError);
// Null when the export is missing.
void* LibraryExport(void* pLibrary, const char* pszName);
void CloseLibrary(void* pLibrary);

}  // namespace kxhost

#endif  // KX_HOST_LIBRARY_H
