// One edit of the host's response buffer: insert text before a byte, or
// delete bytes from it. The host reads the fields directly (see
// KxBufferInstructionFields); the v-table holds only the destructor.
#ifndef KX_RECORD_BUFFER_INSTRUCTION_H
#define KX_RECORD_BUFFER_INSTRUCTION_H

#include "kx/host_abi.h"

class CBufferInstruction : public KxBufferInstructionFields {
public:
    CBufferInstruction();
    CBufferInstruction(DWORD dwType, uint64_t qwPosition, DWORD dwLength);
    virtual ~CBufferInstruction();
    CBufferInstruction(const CBufferInstruction&) = delete;
    CBufferInstruction& operator=(const CBufferInstruction&) = delete;

    // Null clears the data; otherwise the instruction owns a NUL-terminated
    // copy (an empty text gives an owned, empty copy). Throws CHResultError
    // with E_OUTOFMEMORY when the copy cannot be allocated.
    void SetData(const char* pszText);

    DWORD Type() const { return dwType; }
    uint64_t Position() const { return qwPosition; }
    const char* Data() const { return pData; }
    bool Owned() const { return bOwned != 0; }
    DWORD Length() const { return dwLength; }

private:
    void FreeData();
};

static_assert(sizeof(CBufferInstruction) == 40, "v-table word plus the host-visible fields");

#endif  // KX_RECORD_BUFFER_INSTRUCTION_H
