#include "platform/posix/private_files.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/file_io.h"

namespace {

// The group named by QV_LOG_GROUP, or -1 when none is named or it is unknown.
gid_t LogGroup() {
    const char* pszGroup = std::getenv("QV_LOG_GROUP");
    if (pszGroup == nullptr || *pszGroup == '\0') return static_cast<gid_t>(-1);
    struct group entry{};
    struct group* pResult = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r(pszGroup, &entry, buffer.data(), buffer.size(), &pResult) != 0 || pResult == nullptr)
        return static_cast<gid_t>(-1);
    return pResult->gr_gid;
}

mode_t PrivateMode(bool bFolder, bool bGroup) {
    if (bGroup) return bFolder ? 02770 : 0660;
    return bFolder ? 0700 : 0600;
}

// Gives a new file or object its mode whatever the umask is.
void ApplyPrivateMode(int fd, bool bFolder) {
    const gid_t gid = LogGroup();
    const bool bGroup = gid != static_cast<gid_t>(-1) && fchown(fd, static_cast<uid_t>(-1), gid) == 0;
    fchmod(fd, PrivateMode(bFolder, bGroup));
}

// What exists is ours: of the type asked for, owned by this user, and with no
// permission beyond the private mode (the group's only for the log group).
bool IsOwnPrivate(int fd, bool bFolder) {
    struct stat st{};
    if (fstat(fd, &st) != 0) return false;
    if (bFolder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) return false;
    if (st.st_uid != geteuid()) return false;
    const gid_t gid = LogGroup();
    const bool bGroupOk = gid != static_cast<gid_t>(-1) && st.st_gid == gid;
    return (st.st_mode & 07777 & ~PrivateMode(bFolder, bGroupOk)) == 0;
}

int Refuse(int fd) {
    close(fd);
    errno = EPERM;
    return -1;
}


// Repeats a positioned pread or pwrite until all is done, the end is
// reached or it fails; the bytes done.
template <class Buffer, class Call>
size_t Transfer(int fd, Buffer pBuffer, size_t cbBuffer, uint64_t qwOffset, Call call) {
    size_t cbDone = 0;
    while (fd >= 0 && cbDone < cbBuffer) {
        const ssize_t nDone = call(fd, pBuffer + cbDone, cbBuffer - cbDone, static_cast<off_t>(qwOffset + cbDone));
        if (nDone < 0 && errno == EINTR) continue;
        if (nDone <= 0) break;
        cbDone += static_cast<size_t>(nDone);
    }
    return cbDone;
}

}  // namespace

int OpenPrivateFile(const std::string& sPath, bool bTruncate) {
    constexpr int FLAGS = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = open(sPath.c_str(), FLAGS);
    if (fd >= 0) {
        if (!IsOwnPrivate(fd, false)) return Refuse(fd);
        if (bTruncate && ftruncate(fd, 0) != 0) return Refuse(fd);
        return fd;
    }
    if (errno != ENOENT) return -1;
    fd = open(sPath.c_str(), FLAGS | O_CREAT | O_EXCL, 0600);
    if (fd < 0 && errno == EEXIST) return OpenPrivateFile(sPath, bTruncate);  // lost a creation race
    if (fd >= 0) ApplyPrivateMode(fd, false);
    return fd;
}

PrivateAccess EnsurePrivateFolder(const std::string& sPath) {
    const bool bCreated = mkdir(sPath.c_str(), 0700) == 0;
    if (!bCreated && errno != EEXIST) return PrivateAccess::FAILED;
    const int fd = open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat st{};
        const bool bLink = lstat(sPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        return bLink ? PrivateAccess::REFUSED : PrivateAccess::FAILED;
    }
    if (bCreated) ApplyPrivateMode(fd, true);
    const bool bOurs = IsOwnPrivate(fd, true);
    close(fd);
    return bOurs ? PrivateAccess::READY : PrivateAccess::REFUSED;
}

SharedObject OpenSharedObject(const std::string& sName, size_t cbCreate) {
    SharedObject object;
    int fd = shm_open(sName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ApplyPrivateMode(fd, false);
        if (ftruncate(fd, static_cast<off_t>(cbCreate)) != 0) {
            close(fd);
            shm_unlink(sName.c_str());
            return object;
        }
        object.fd = fd;
        object.bCreated = true;
        return object;
    }
    if (errno != EEXIST) return object;
    fd = shm_open(sName.c_str(), O_RDWR | O_NOFOLLOW, 0);
    if (fd < 0) return object;
    object.fd = IsOwnPrivate(fd, false) ? fd : Refuse(fd);
    return object;
}

void CloseSharedObject(SharedObject& object) {
    if (object.fd >= 0) close(object.fd);
    object = SharedObject{};
}

size_t ReadAt(int fd, char* pBuffer, size_t cbBuffer, uint64_t qwOffset) {
    return Transfer(fd, pBuffer, cbBuffer, qwOffset, ::pread);
}

size_t WriteAt(int fd, const char* pData, size_t cbData, uint64_t qwOffset) {
    return Transfer(fd, pData, cbData, qwOffset, ::pwrite);
}
