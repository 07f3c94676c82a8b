#include "htmlparser/segment_arena.h"

void* CSegmentArena::AllocateInNewBlock(size_t cbSize, size_t cbAlign) {
    const size_t cbBlock = cbSize + cbAlign > BLOCK_SIZE ? cbSize + cbAlign : BLOCK_SIZE;
    m_blocks.emplace_back(new std::byte[cbBlock]);  // not zeroed
    m_pNext = m_blocks.back().get();
    m_cbLeft = cbBlock;
    return Allocate(cbSize, cbAlign);
}
