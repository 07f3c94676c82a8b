// Windows delivers no signals to threads (a console's control events come on
// a thread of their own): there is nothing to block.
#include "platform/signal_mask.h"

CAllSignalsBlocked::CAllSignalsBlocked() = default;
CAllSignalsBlocked::~CAllSignalsBlocked() = default;
