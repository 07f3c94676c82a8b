// The contract between the trace log and the logging library "LogModule"
// that hands out the locks serialising writers of one log across processes.
#ifndef KX_LOG_MODULE_H
#define KX_LOG_MODULE_H

// A lock shared by every process that asks for the same name. Its second and
// third virtual operations lock and unlock; the library owns the object for
// the life of the process. Lock waits a bounded time: false means it was not
// had, and the caller goes on without writing.
class ILogLock {
public:
    virtual const char* Name() const = 0;
    virtual bool Lock() = 0;
    virtual void Unlock() = 0;

protected:
    ~ILogLock() = default;
};

extern "C" {
// Fills *ppLock with the lock for pszName (a product or library name); the
// pointer stays null when the lock cannot be had. bCreate is 1 from the worker.
typedef void (*PFN_GET_PRODUCT_CS)(const char* pszName, ILogLock** ppLock, int bCreate);
// The same for the common log shared by all products.
typedef void (*PFN_GET_GENERAL_CS)(ILogLock** ppLock, int bCreate);
}

#endif  // KX_LOG_MODULE_H
