#include "platform/private_files.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Gives a new file or object its mode whatever the umask is.
void ApplyPrivateMode(int fd, bool bFolder) {
    const gid_t gid = LogGroup();
    if (gid != static_cast<gid_t>(-1) && fchown(fd, static_cast<uid_t>(-1), gid) == 0)
        fchmod(fd, bFolder ? 02770 : 0660);
    else
        fchmod(fd, bFolder ? 0700 : 0600);
}

SharedMapping Map(int fd, size_t cbView, bool bCreated) {
    SharedMapping mapping;
    void* pView = mmap(nullptr, cbView, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pView == MAP_FAILED) return mapping;
    mapping.pView = pView;
    mapping.cbView = cbView;
    mapping.bCreated = bCreated;
    return mapping;
}

}  // namespace

int OpenPrivateFile(const std::string& sPath, bool bTruncate) {
    int fd = open(sPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | (bTruncate ? O_TRUNC : 0));
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = open(sPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) return OpenPrivateFile(sPath, bTruncate);  // lost a creation race
    if (fd >= 0) ApplyPrivateMode(fd, false);
    return fd;
}

bool EnsurePrivateFolder(const std::string& sPath) {
    struct stat st{};
    if (stat(sPath.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (mkdir(sPath.c_str(), 0700) != 0 && errno != EEXIST) return false;
    const int fd = open(sPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    ApplyPrivateMode(fd, true);
    close(fd);
    return true;
}

SharedMapping OpenSharedMemory(const std::string& sName, size_t cbCreate, size_t cbMaxMap) {
    int fd = shm_open(sName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        ApplyPrivateMode(fd, false);
        SharedMapping mapping;
        if (ftruncate(fd, static_cast<off_t>(cbCreate)) == 0) mapping = Map(fd, cbCreate, true);
        if (mapping.pView == nullptr) shm_unlink(sName.c_str());
        close(fd);
        return mapping;
    }
    if (errno != EEXIST) return {};
    fd = shm_open(sName.c_str(), O_RDWR, 0);
    if (fd < 0) return {};
    struct stat st{};
    SharedMapping mapping;
    if (fstat(fd, &st) == 0 && st.st_size > 0)
        mapping = Map(fd, std::min(static_cast<size_t>(st.st_size), cbMaxMap), false);
    close(fd);
    return mapping;
}

SharedMapping RemapSharedMemory(const std::string& sName, size_t cbView) {
    const int fd = shm_open(sName.c_str(), O_RDWR, 0);
    if (fd < 0) return {};
    struct stat st{};
    SharedMapping mapping;
    if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= cbView) mapping = Map(fd, cbView, false);
    close(fd);
    return mapping;
}

void UnmapSharedMemory(SharedMapping& mapping) {
    if (mapping.pView != nullptr) munmap(mapping.pView, mapping.cbView);
    mapping = SharedMapping{};
}

std::string SharedMemoryName(const std::string& sText) {
    std::string sName = "/";
    for (char ch : sText.substr(0, 200)) {
        const bool bKeep = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '_' || ch == '-';
        sName += bKeep ? ch : '_';
    }
    return sName;
}
