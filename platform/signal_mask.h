// Threads the worker starts never take a signal meant for its host: a web
// server stops and reloads by signals, and a handler run on one of our
// threads would leave the server's own loop waiting. A new thread inherits
// the mask of the thread that creates it, so threads are created (directly
// or by a library call) while this guard blocks every signal.
#ifndef KX_PLATFORM_SIGNAL_MASK_H
#define KX_PLATFORM_SIGNAL_MASK_H

class CAllSignalsBlocked {
public:
    CAllSignalsBlocked();
    ~CAllSignalsBlocked();  // the caller's mask again
    CAllSignalsBlocked(const CAllSignalsBlocked&) = delete;
    CAllSignalsBlocked& operator=(const CAllSignalsBlocked&) = delete;

private:
    alignas(8) unsigned char m_saved[128];  // the caller's sigset_t
    bool m_bSaved = false;
};

#endif  // KX_PLATFORM_SIGNAL_MASK_H
