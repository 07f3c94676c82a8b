#include "dom/buffer_position.h"

#include "htmlparser/source.h"

Position OffsetInBuffer(const void* pBufferStart, const void* p) {
    const auto nStart = reinterpret_cast<uintptr_t>(pBufferStart);
    const auto nAt = reinterpret_cast<uintptr_t>(p);
    return p == nullptr || nAt < nStart ? NO_POS : Position(nAt - nStart);
}

uint64_t BufferAddress(const CSource& source, Position nPos) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(source.getText() + nPos));
}
