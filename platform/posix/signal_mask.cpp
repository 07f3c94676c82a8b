#include "platform/signal_mask.h"

#include <pthread.h>
#include <signal.h>

#include <cstring>

CAllSignalsBlocked::CAllSignalsBlocked() {
    static_assert(sizeof(sigset_t) <= 128, "the saved mask must fit");
    sigset_t all, saved;
    sigfillset(&all);
    m_bSaved = pthread_sigmask(SIG_BLOCK, &all, &saved) == 0;
    if (m_bSaved) std::memcpy(m_saved, &saved, sizeof(saved));
}

CAllSignalsBlocked::~CAllSignalsBlocked() {
    if (!m_bSaved) return;
    sigset_t saved;
    std::memcpy(&saved, m_saved, sizeof(saved));
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}
