// The edits of one send-raw-data call, ordered as the host applies them.
#ifndef KX_RECORD_BUFFER_INSTRUCTION_LIST_H
#define KX_RECORD_BUFFER_INSTRUCTION_LIST_H

#include "base/shared_holder.h"
#include "kx/host_abi.h"
#include "record/buffer_instruction.h"

// A circular doubly linked list with a sentinel, in the layout the host
// reads. Ordered by position, then type (inserts before deletes); at one
// position and type the instruction added last comes first.
class CBufferInstructionList : public KxBufferInstructionListFields {
public:
    CBufferInstructionList();
    virtual ~CBufferInstructionList();
    CBufferInstructionList(const CBufferInstructionList&) = delete;
    CBufferInstructionList& operator=(const CBufferInstructionList&) = delete;

    // Takes ownership in every case: an invalid instruction (no type, an
    // insert without data, a delete of 0 bytes) is destroyed and 13 returned.
    DWORD Add(CBufferInstruction* pInstruction);

    uint64_t Count() const { return qwCount; }
    bool IsEmpty() const { return qwCount == 0; }

    // Calls fn(const CBufferInstruction&) for each instruction in list order.
    template <class Fn>
    void ForEach(Fn fn) const {
        for (const KxBufferInstructionNode* pNode = pHead->pNext; pNode != pHead; pNode = pNode->pNext)
            fn(*static_cast<const CBufferInstruction*>(pNode->spInstruction.pObject));
    }
};

static_assert(sizeof(CBufferInstructionList) == 24, "v-table word plus the host-visible fields");

// Inserts a copy of pszHtml before the byte at qwPosition (an address in the
// host's buffer). 13 for a null position, text or list.
DWORD InsertHtmlStringAtPosition(uint64_t qwPosition, const char* pszHtml, CBufferInstructionList* pList);

// Deletes dwLength bytes from qwPosition. 13 for a null position or list; a
// zero length is dropped by the list while the call returns 0.
DWORD DeleteHtmlStringAtPosition(uint64_t qwPosition, DWORD dwLength, CBufferInstructionList* pList);

#endif  // KX_RECORD_BUFFER_INSTRUCTION_LIST_H
