// Sets the calling thread's impersonation aside for a scope (the thread
// reverts to the process identity) and puts it back afterwards. Threads do
// not impersonate on this platform, so the guard only records that it did
// so; code keeps the guard where the worker touches files, the registry or
// the directory, so that a backend with impersonation only fills it in.
#ifndef KX_PLATFORM_IMPERSONATION_H
#define KX_PLATFORM_IMPERSONATION_H

class CRevertToSelf {
public:
    CRevertToSelf();
    ~CRevertToSelf();
    CRevertToSelf(const CRevertToSelf&) = delete;
    CRevertToSelf& operator=(const CRevertToSelf&) = delete;

    // Whether the calling thread is inside a guard.
    static bool IsActive();
};

#endif  // KX_PLATFORM_IMPERSONATION_H
