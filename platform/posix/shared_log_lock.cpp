// The logging library's lock on POSIX: an open-file-description lock on a
// POSIX shared-memory object per name. The kernel releases the lock of a
// holder that dies; nothing is mapped, so no one can crash a writer by
// shrinking the object; a lock held by a stuck writer costs a bounded wait.
#include "platform/logmodule/shared_log_lock.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>

#include "platform/posix/private_files.h"
#include "platform/shared_section.h"

namespace {

constexpr auto MAX_WAIT = std::chrono::milliseconds(250);

class CSharedLogLock final : public ILogLock {
public:
    CSharedLogLock(std::string sName, int fd) : m_sName(std::move(sName)), m_fd(fd) {}
    const char* Name() const override { return m_sName.c_str(); }

    // Threads of this process first, then the other processes: an
    // open-file-description lock does not exclude threads sharing it. Both
    // are tried, with growing pauses, until the deadline.
    bool Lock() override {
        const auto deadline = std::chrono::steady_clock::now() + MAX_WAIT;
        bool bThreads = false;
        long nPauseNs = 20000;
        while (true) {
            if (!bThreads) bThreads = m_threads.try_lock();
            if (bThreads) {
                if (Set(F_WRLCK)) return true;
                if (errno != EAGAIN && errno != EACCES && errno != EINTR) break;
            }
            if (std::chrono::steady_clock::now() >= deadline) break;
            const timespec pause{0, nPauseNs};
            nanosleep(&pause, nullptr);
            nPauseNs = std::min(nPauseNs * 2, 2000000L);
        }
        if (bThreads) m_threads.unlock();
        return false;
    }
    void Unlock() override {
        if (!m_bHeld) return;
        Set(F_UNLCK);
        m_bHeld = false;
        m_threads.unlock();
    }

private:
    bool Set(short nType) {
        struct flock lock {};
        lock.l_type = nType;
        lock.l_whence = SEEK_SET;
        if (fcntl(m_fd, F_OFD_SETLK, &lock) != 0) return false;
        m_bHeld = nType == F_WRLCK;
        return true;
    }

    std::string m_sName;
    int m_fd;
    std::mutex m_threads;
    bool m_bHeld = false;  // guarded by m_threads
};

}  // namespace

ILogLock* OpenSharedLogLock(const std::string& sName) {
    // An object another account made, or with a wider mode, is refused.
    const SharedObject object = OpenSharedObject(SharedMemoryName("QuorvaneLogLock." + sName), 1);
    if (object.fd < 0) return nullptr;
    return new CSharedLogLock(sName, object.fd);
}
