#include "host/stop_request.h"

#include <pthread.h>
#include <signal.h>

namespace kxhost {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

StopRequest::StopRequest() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // inherited by the threads started later
}

void StopRequest::Wait() {
    const sigset_t signals = StopSignals();
    int nSignal = 0;
    sigwait(&signals, &nSignal);
}

}  // namespace kxhost
