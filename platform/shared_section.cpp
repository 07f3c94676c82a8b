// POSIX shared-memory objects, read and written through their descriptor and
// never mapped: whoever else may write one cannot crash us by shrinking it.
#include "platform/shared_section.h"

#include <unistd.h>

#include <cerrno>

#include "platform/private_files.h"

struct CSharedSection::CNative {
    SharedObject object;
};

std::string SharedMemoryName(const std::string& sText) {
    std::string sName = "/";
    for (char ch : sText.substr(0, 200)) {
        const bool bKeep = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '_' || ch == '-';
        sName += bKeep ? ch : '_';
    }
    return sName + "." + std::to_string(geteuid());
}

CSharedSection::CSharedSection() : m_pNative(std::make_unique<CNative>()) {}
CSharedSection::~CSharedSection() { Close(); }

CSharedSection::Opened CSharedSection::Open(const std::string& sName, size_t cbCreate) {
    Close();
    m_pNative->object = OpenSharedObject(sName, cbCreate);
    if (m_pNative->object.fd < 0) return errno == EPERM ? REFUSED : UNAVAILABLE;
    return m_pNative->object.bCreated ? CREATED : EXISTING;
}

bool CSharedSection::IsOpen() const { return m_pNative->object.fd >= 0; }

size_t CSharedSection::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    return ::ReadAt(m_pNative->object.fd, pBuffer, cbBuffer, qwOffset);
}

size_t CSharedSection::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    return ::WriteAt(m_pNative->object.fd, pData, cbData, qwOffset);
}

void CSharedSection::Close() { CloseSharedObject(m_pNative->object); }
