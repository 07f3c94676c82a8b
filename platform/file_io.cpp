#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/win_errors.h"
#include "platform/private_files.h"

namespace {

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

size_t ReadAt(int fd, char* pBuffer, size_t cbBuffer, uint64_t qwOffset) {
    return Transfer(fd, pBuffer, cbBuffer, qwOffset, ::pread);
}

size_t WriteAt(int fd, const char* pData, size_t cbData, uint64_t qwOffset) {
    return Transfer(fd, pData, cbData, qwOffset, ::pwrite);
}

DWORD ReadRegularFile(const std::string& sPath, size_t cbMax, std::string& sText) {
    sText.clear();
    const int fd = open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    struct stat st{};
    DWORD dwResult = 0;
    if (fstat(fd, &st) != 0)
        dwResult = ERROR_READ_FAULT;
    else if (!S_ISREG(st.st_mode))
        dwResult = ERROR_INVALID_DATA;
    else if (static_cast<uint64_t>(st.st_size) > cbMax)
        dwResult = ERROR_FILE_TOO_LARGE;
    if (dwResult == 0) {
        // The file may grow while it is read: never more than cbMax.
        sText.resize(static_cast<size_t>(st.st_size));
        sText.resize(ReadAt(fd, sText.data(), sText.size(), 0));
    }
    close(fd);
    return dwResult;
}

bool CPlatformFile::Open(const std::string& sPath, bool bTruncate) {
    Close();
    m_fd = OpenPrivateFile(sPath, bTruncate);
    return m_fd >= 0;
}

bool CPlatformFile::Append(const char* pData, size_t cbData) const {
    const off_t nEnd = m_fd < 0 ? -1 : lseek(m_fd, 0, SEEK_END);
    return nEnd >= 0 && WriteAt(pData, cbData, static_cast<uint64_t>(nEnd)) == cbData;
}

void CPlatformFile::Sync() const {
    if (m_fd >= 0) fdatasync(m_fd);
}

void CPlatformFile::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}
