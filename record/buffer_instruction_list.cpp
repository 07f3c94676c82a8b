#include "record/buffer_instruction_list.h"

#include <memory>

#include "base/win_errors.h"
#include "diagnostics/trace.h"

namespace {

using InstructionHolder = CSharedHolder<CBufferInstruction>;

bool IsValid(const CBufferInstruction& instruction) {
    switch (instruction.Type()) {
        case KX_INSTRUCTION_INSERT: return instruction.Data() != nullptr;
        case KX_INSTRUCTION_DELETE: return instruction.Length() != 0;
        default: return false;
    }
}

// True when the new instruction goes before the one already in the list.
bool GoesBefore(const CBufferInstruction& newer, const CBufferInstruction& existing) {
    if (existing.Position() != newer.Position()) return existing.Position() > newer.Position();
    return existing.Type() >= newer.Type();
}

}  // namespace

CBufferInstructionList::CBufferInstructionList() : KxBufferInstructionListFields{nullptr, 0} {
    pHead = new KxBufferInstructionNode{};
    pHead->pNext = pHead;
    pHead->pPrev = pHead;
}

CBufferInstructionList::~CBufferInstructionList() {
    KxBufferInstructionNode* pNode = pHead->pNext;
    while (pNode != pHead) {
        KxBufferInstructionNode* pNext = pNode->pNext;
        InstructionHolder::Adopt(pNode->spInstruction).Release();
        delete pNode;
        pNode = pNext;
    }
    delete pHead;
}

DWORD CBufferInstructionList::Add(CBufferInstruction* pInstruction) {
    InstructionHolder holder(pInstruction);
    if (!holder || !IsValid(*holder)) return ERROR_INVALID_DATA;

    KxBufferInstructionNode* pBefore = pHead->pNext;
    while (pBefore != pHead &&
           !GoesBefore(*holder, *static_cast<const CBufferInstruction*>(pBefore->spInstruction.pObject)))
        pBefore = pBefore->pNext;

    auto pNode = std::make_unique<KxBufferInstructionNode>();
    pNode->spInstruction = holder.Detach();
    pNode->pNext = pBefore;
    pNode->pPrev = pBefore->pPrev;
    pBefore->pPrev->pNext = pNode.get();
    pBefore->pPrev = pNode.release();
    ++qwCount;
    return ERROR_SUCCESS;
}

DWORD InsertHtmlStringAtPosition(uint64_t qwPosition, const char* pszHtml, CBufferInstructionList* pList) {
    if (qwPosition == 0 || pszHtml == nullptr || pList == nullptr) {
        Trace("[InsertHtmlStringAtPosition] invalid data.");
        return ERROR_INVALID_DATA;
    }
    auto pInstruction = std::make_unique<CBufferInstruction>(KX_INSTRUCTION_INSERT, qwPosition, 0);
    pInstruction->SetData(pszHtml);
    pList->Add(pInstruction.release());
    return ERROR_SUCCESS;
}

DWORD DeleteHtmlStringAtPosition(uint64_t qwPosition, DWORD dwLength, CBufferInstructionList* pList) {
    if (qwPosition == 0 || pList == nullptr) {
        Trace("[DeleteHtmlStringAtPosition] invalid data. ");
        return ERROR_INVALID_DATA;
    }
    pList->Add(new CBufferInstruction(KX_INSTRUCTION_DELETE, qwPosition, dwLength));
    return ERROR_SUCCESS;
}
