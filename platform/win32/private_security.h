// Objects that hold trace text are this account's own: created with a
// protected DACL that grants the account and SYSTEM only, and, when they
// exist already, used only when this account (or the default owner its
// token gives what it creates) owns them and their DACL grants no one else.
#ifndef KX_PLATFORM_WIN32_PRIVATE_SECURITY_H
#define KX_PLATFORM_WIN32_PRIVATE_SECURITY_H

#include <windows.h>
// After windows.h, which it needs.
#include <accctrl.h>

#include <string>

// The security attributes to create a private object with; bInherit makes a
// folder's entries apply to what is created in it.
class CPrivateSecurity {
public:
    explicit CPrivateSecurity(bool bInherit);
    ~CPrivateSecurity();
    CPrivateSecurity(const CPrivateSecurity&) = delete;
    CPrivateSecurity& operator=(const CPrivateSecurity&) = delete;

    // Null when the descriptor could not be made (the object is then not created).
    SECURITY_ATTRIBUTES* Attributes() { return m_attributes.lpSecurityDescriptor != nullptr ? &m_attributes : nullptr; }

private:
    SECURITY_ATTRIBUTES m_attributes{};
};

// Whether the object is owned by this process's account or its token's
// default owner, and its DACL allows no one but the account and SYSTEM.
// bAdministered also accepts what SYSTEM or the Administrators own and
// grants to the Administrators (a credential file an administrator wrote).
bool IsOwnPrivate(HANDLE hObject, SE_OBJECT_TYPE type, bool bAdministered = false);

// A SID as a string ("S-1-5-21-..."); empty when it is not one.
std::string SidText(PSID pSid);
// The account of this process as a SID string; empty when unknown.
std::string ProcessUserSid();

#endif  // KX_PLATFORM_WIN32_PRIVATE_SECURITY_H
