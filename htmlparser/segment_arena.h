// Memory for the parser objects of one source: large blocks carved in
// order, released together when the source goes.
#ifndef KX_HTMLPARSER_SEGMENT_ARENA_H
#define KX_HTMLPARSER_SEGMENT_ARENA_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CSegmentArena {
public:
    CSegmentArena() = default;
    CSegmentArena(const CSegmentArena&) = delete;
    CSegmentArena& operator=(const CSegmentArena&) = delete;

    // Uninitialised, suitably aligned storage; throws std::bad_alloc.
    void* Allocate(size_t cbSize, size_t cbAlign) {
        const size_t cbPad = (cbAlign - reinterpret_cast<uintptr_t>(m_pNext) % cbAlign) % cbAlign;
        if (m_pNext == nullptr || cbPad + cbSize > m_cbLeft) return AllocateInNewBlock(cbSize, cbAlign);
        std::byte* pResult = m_pNext + cbPad;
        m_pNext = pResult + cbSize;
        m_cbLeft -= cbPad + cbSize;
        return pResult;
    }

private:
    static constexpr size_t BLOCK_SIZE = 32 * 1024;

    void* AllocateInNewBlock(size_t cbSize, size_t cbAlign);

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_pNext = nullptr;
    size_t m_cbLeft = 0;
};

#endif  // KX_HTMLPARSER_SEGMENT_ARENA_H
