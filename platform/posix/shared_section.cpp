// POSIX shared-memory objects, read and written through their descriptor and
// never mapped: whoever else may write one cannot crash us by shrinking it.
#include "platform/shared_section.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/private_files.h"

struct CSharedSection::CNative {
    SharedObject object;
    uint64_t qwSize = 0;  // as opened: writes never grow the object
};

std::string AccountSectionName(const std::string& sSafeText) {
    return "/" + sSafeText + "." + std::to_string(geteuid());
}

CSharedSection::CSharedSection() : m_pNative(std::make_unique<CNative>()) {}
CSharedSection::~CSharedSection() { Close(); }

CSharedSection::Opened CSharedSection::Open(const std::string& sName, size_t cbCreate) {
    Close();
    m_pNative->object = OpenSharedObject(sName, cbCreate);
    if (m_pNative->object.fd < 0) return errno == EPERM ? REFUSED : UNAVAILABLE;
    struct stat st{};
    if (fstat(m_pNative->object.fd, &st) != 0) {
        Close();
        return UNAVAILABLE;
    }
    m_pNative->qwSize = static_cast<uint64_t>(st.st_size);
    return m_pNative->object.bCreated ? CREATED : EXISTING;
}

bool CSharedSection::IsOpen() const { return m_pNative->object.fd >= 0; }

size_t CSharedSection::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    return ::ReadAt(m_pNative->object.fd, pBuffer, cbBuffer, qwOffset);
}

size_t CSharedSection::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    if (qwOffset >= m_pNative->qwSize) return 0;
    const size_t cbFits = static_cast<size_t>(std::min<uint64_t>(cbData, m_pNative->qwSize - qwOffset));
    return ::WriteAt(m_pNative->object.fd, pData, cbFits, qwOffset);
}

void CSharedSection::Close() {
    CloseSharedObject(m_pNative->object);
    m_pNative->qwSize = 0;
}
