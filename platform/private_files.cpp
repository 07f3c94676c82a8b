#include "platform/private_files.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

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

bool EnsurePrivateFolder(const std::string& sPath) {
    const bool bCreated = mkdir(sPath.c_str(), 0700) == 0;
    if (!bCreated && errno != EEXIST) return false;
    const int fd = open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int nError = errno;
        struct stat st{};
        errno = lstat(sPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? EPERM : nError;  // a link is refused
        return false;
    }
    if (bCreated) ApplyPrivateMode(fd, true);
    const bool bOurs = IsOwnPrivate(fd, true);
    close(fd);
    if (!bOurs) errno = EPERM;
    return bOurs;
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

std::string SharedMemoryName(const std::string& sText) {
    std::string sName = "/";
    for (char ch : sText.substr(0, 200)) {
        const bool bKeep = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '_' || ch == '-';
        sName += bKeep ? ch : '_';
    }
    return sName + "." + std::to_string(geteuid());
}
