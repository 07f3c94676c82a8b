// Parser positions and the host's buffer addresses, one from the other.
#ifndef KX_DOM_BUFFER_POSITION_H
#define KX_DOM_BUFFER_POSITION_H

#include <cstdint>

#include "htmlparser/position.h"

class CSource;

// The offset of p from pBufferStart; NO_POS for null or a pointer before it.
Position OffsetInBuffer(const void* pBufferStart, const void* p);
// The address in the host's buffer (the source text) of parser position nPos.
uint64_t BufferAddress(const CSource& source, Position nPos);

#endif  // KX_DOM_BUFFER_POSITION_H
