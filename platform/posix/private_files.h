// Files and shared-memory objects that hold trace text. Trace lines carry
// user names and session cookies, so they are created readable and writable
// by the owning account only (0600), or by one group as well (0660) when
// QV_LOG_GROUP names that group.
#ifndef KX_PLATFORM_POSIX_PRIVATE_FILES_H
#define KX_PLATFORM_POSIX_PRIVATE_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>

//
// Whatever already exists under a name (made before us, perhaps by another
// account) is used only when it is of the right type, owned by the worker's
// user and no wider than the private mode; otherwise it is refused with
// errno EPERM and left alone.

// Opens (creating when missing) a regular file for reading and writing
// without following a symbolic link and without blocking; -1 on failure.
// A created file gets the private mode above; bTruncate empties an existing one.
int OpenPrivateFile(const std::string& sPath, bool bTruncate);

// Bytes read from qwOffset on (fewer at the end; 0 on failure).
size_t ReadAt(int fd, char* pBuffer, size_t cbBuffer, uint64_t qwOffset);
// Bytes written at qwOffset; fewer than cbData when a write failed (a full disk).
size_t WriteAt(int fd, const char* pData, size_t cbData, uint64_t qwOffset);

// A POSIX shared-memory object, read and written through its descriptor and
// never mapped: whoever else may write it cannot crash us by shrinking it.
struct SharedObject {
    int fd = -1;
    bool bCreated = false;  // this call created the object
};

// Opens the shared-memory object sName ("/name"), creating it with cbCreate
// bytes and the private mode when it does not exist. fd -1 on failure; errno
// EPERM when an existing object is refused.
SharedObject OpenSharedObject(const std::string& sName, size_t cbCreate);
void CloseSharedObject(SharedObject& object);

#endif  // KX_PLATFORM_POSIX_PRIVATE_FILES_H
