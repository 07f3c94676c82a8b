#include "htmlparser/segment_arena.h"

#include <cstdint>

void* CSegmentArena::Allocate(size_t cbSize, size_t cbAlign) {
    size_t cbPad = m_pNext == nullptr ? 0 : (cbAlign - reinterpret_cast<uintptr_t>(m_pNext) % cbAlign) % cbAlign;
    if (m_pNext == nullptr || cbPad + cbSize > m_cbLeft) {
        const size_t cbBlock = cbSize + cbAlign > BLOCK_SIZE ? cbSize + cbAlign : BLOCK_SIZE;
        m_blocks.emplace_back(new std::byte[cbBlock]);  // not zeroed
        m_pNext = m_blocks.back().get();
        m_cbLeft = cbBlock;
        cbPad = (cbAlign - reinterpret_cast<uintptr_t>(m_pNext) % cbAlign) % cbAlign;
    }
    std::byte* pResult = m_pNext + cbPad;
    m_pNext = pResult + cbSize;
    m_cbLeft -= cbPad + cbSize;
    return pResult;
}
