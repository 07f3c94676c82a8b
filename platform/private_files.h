// Files and shared-memory objects that hold trace text. Trace lines carry
// user names and session cookies, so they are created readable and writable
// by the owning account only (0600), or by one group as well (0660) when
// QV_LOG_GROUP names that group.
#ifndef KX_PLATFORM_PRIVATE_FILES_H
#define KX_PLATFORM_PRIVATE_FILES_H

#include <cstddef>
#include <string>

// Opens (creating when missing) a regular file for reading and writing
// without following a symbolic link; -1 on failure. A created file gets the
// private mode above; bTruncate empties an existing one.
int OpenPrivateFile(const std::string& sPath, bool bTruncate);

// Creates the folder (one level) with the private mode when it is missing.
bool EnsurePrivateFolder(const std::string& sPath);

// A mapped POSIX shared-memory object.
struct SharedMapping {
    void* pView = nullptr;
    size_t cbView = 0;
    bool bCreated = false;  // this call created the object
};

// Opens the shared-memory object sName ("/name"), creating it with cbCreate
// bytes and the private mode when it does not exist. An existing object is
// mapped with the size it has (at most cbMaxMap). Empty mapping on failure.
SharedMapping OpenSharedMemory(const std::string& sName, size_t cbCreate, size_t cbMaxMap);

// Maps an existing object again with cbView bytes (which it must have).
SharedMapping RemapSharedMemory(const std::string& sName, size_t cbView);

void UnmapSharedMemory(SharedMapping& mapping);

// A shared-memory name made from any text: "/" + the text with every byte
// outside [A-Za-z0-9._-] replaced by '_', at most 200 bytes.
std::string SharedMemoryName(const std::string& sText);

#endif  // KX_PLATFORM_PRIVATE_FILES_H
