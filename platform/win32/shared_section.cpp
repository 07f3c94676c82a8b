// Named file mappings backed by the paging file. A mapping's size is fixed
// when it is made, so whoever else opens it cannot shrink it under us.
#include "platform/shared_section.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/private_security.h"
#include "platform/win32/wide.h"

struct CSharedSection::CNative {
    HANDLE hMapping = nullptr;
    char* pView = nullptr;
    size_t cbView = 0;
};

std::string AccountSectionName(const std::string& sSafeText) { return "Local\\" + sSafeText + "." + ProcessUserSid(); }

CSharedSection::CSharedSection() : m_pNative(std::make_unique<CNative>()) {}
CSharedSection::~CSharedSection() { Close(); }

CSharedSection::Opened CSharedSection::Open(const std::string& sName, size_t cbCreate) {
    Close();
    CPrivateSecurity security(false);
    if (security.Attributes() == nullptr || cbCreate == 0) return UNAVAILABLE;
    const uint64_t qwSize = cbCreate;
    const HANDLE hMapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, static_cast<DWORD>(qwSize >> 32),
                           static_cast<DWORD>(qwSize), Widen(sName).c_str());
    if (hMapping == nullptr) return GetLastError() == ERROR_ACCESS_DENIED ? REFUSED : UNAVAILABLE;
    const bool bCreated = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!bCreated && !IsOwnPrivate(hMapping, SE_KERNEL_OBJECT)) {
        CloseHandle(hMapping);
        return REFUSED;
    }
    void* pView = MapViewOfFile(hMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    MEMORY_BASIC_INFORMATION region{};
    if (pView == nullptr || VirtualQuery(pView, &region, sizeof(region)) == 0) {
        if (pView != nullptr) UnmapViewOfFile(pView);
        CloseHandle(hMapping);
        return UNAVAILABLE;
    }
    m_pNative->hMapping = hMapping;
    m_pNative->pView = static_cast<char*>(pView);
    // A new mapping holds what was asked for; an existing one its region.
    m_pNative->cbView = bCreated ? std::min(cbCreate, region.RegionSize) : region.RegionSize;
    return bCreated ? CREATED : EXISTING;
}

bool CSharedSection::IsOpen() const { return m_pNative->pView != nullptr; }

size_t CSharedSection::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    if (!IsOpen() || qwOffset >= m_pNative->cbView) return 0;
    const size_t cbRead = std::min(cbBuffer, m_pNative->cbView - static_cast<size_t>(qwOffset));
    std::memcpy(pBuffer, m_pNative->pView + qwOffset, cbRead);
    return cbRead;
}

size_t CSharedSection::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    if (!IsOpen() || qwOffset >= m_pNative->cbView) return 0;
    const size_t cbWritten = std::min(cbData, m_pNative->cbView - static_cast<size_t>(qwOffset));
    std::memcpy(m_pNative->pView + qwOffset, pData, cbWritten);
    return cbWritten;
}

void CSharedSection::Close() {
    if (m_pNative->pView != nullptr) UnmapViewOfFile(m_pNative->pView);
    if (m_pNative->hMapping != nullptr) CloseHandle(m_pNative->hMapping);
    *m_pNative = CNative{};
}
