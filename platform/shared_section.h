// A named section of memory that every process of this account opening the
// same name shares (the shared trace log). Trace lines carry user names and
// session cookies, so a section is this account's own: one that another
// account made, or that others may open, is refused and left alone.
#ifndef KX_PLATFORM_SHARED_SECTION_H
#define KX_PLATFORM_SHARED_SECTION_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The calling account's section name for any text: every byte outside
// [A-Za-z0-9._-] becomes '_' (at most 200 bytes are kept), and the account
// is part of the name. Section names are one space for every account, so
// without it the first account to log (an administrator's tool) would take
// the name from the web server's.
std::string SharedMemoryName(const std::string& sText);
// This system's name for the account's section of a text already limited to
// those bytes (POSIX: "/<text>.<effective uid>"; Windows, local to the logon
// session: "Local\\<text>.<account SID>").
std::string AccountSectionName(const std::string& sSafeText);

class CSharedSection {
public:
    CSharedSection();
    ~CSharedSection();
    CSharedSection(const CSharedSection&) = delete;
    CSharedSection& operator=(const CSharedSection&) = delete;

    enum Opened { CREATED, EXISTING, UNAVAILABLE, REFUSED };
    // Opens the section sName (from SharedMemoryName), creating it with
    // cbCreate zero bytes when it does not exist.
    Opened Open(const std::string& sName, size_t cbCreate);
    bool IsOpen() const;
    // Bytes read from qwOffset on (fewer at the end; 0 on failure).
    size_t ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const;
    // Bytes written at qwOffset; fewer past the section's end.
    size_t WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const;
    void Close();

private:
    struct CNative;
    std::unique_ptr<CNative> m_pNative;
};

#endif  // KX_PLATFORM_SHARED_SECTION_H
