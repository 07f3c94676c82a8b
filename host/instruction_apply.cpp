#include "host/instruction_apply.h"

namespace kxhost {

bool ReadInstructions(const CBufferInstructionList* pList, const BYTE* pBufferStart, size_t cbBuffer,
                      std::vector<InstructionView>& instructions, std::string& sError) {
    instructions.clear();
    if (pList == nullptr) {
        sError = "no list";
        return false;
    }
    const KxBufferInstructionListFields* pFields = KxListFields(pList);
    const KxBufferInstructionNode* pHead = pFields->pHead;
    if (pHead == nullptr) {
        sError = "no sentinel";
        return false;
    }
    const auto qwStart = reinterpret_cast<uint64_t>(pBufferStart);
    for (const KxBufferInstructionNode* pNode = pHead->pNext; pNode != pHead; pNode = pNode->pNext) {
        if (pNode == nullptr || instructions.size() >= pFields->qwCount) {
            sError = "list longer than its count";
            return false;
        }
        if (pNode->spInstruction.pObject == nullptr) {
            sError = "node without instruction";
            return false;
        }
        const KxBufferInstructionFields* pInstruction = KxInstructionFields(pNode->spInstruction.pObject);
        const uint64_t qwPosition = pInstruction->qwPosition;
        if (qwPosition < qwStart || qwPosition - qwStart > cbBuffer) {
            sError = "position outside the buffer";
            return false;
        }
        InstructionView view{pInstruction->dwType, qwPosition - qwStart, {}, pInstruction->dwLength};
        if (view.dwType == KX_INSTRUCTION_INSERT) {
            if (pInstruction->pData == nullptr) {
                sError = "insert without text";
                return false;
            }
            view.sData = pInstruction->pData;
        } else if (view.dwType != KX_INSTRUCTION_DELETE || view.dwLength == 0) {
            sError = "invalid instruction";
            return false;
        }
        instructions.push_back(std::move(view));
    }
    if (instructions.size() != pFields->qwCount) {
        sError = "count larger than the list";
        return false;
    }
    return true;
}

bool ApplyInstructions(const std::string& sBuffer, const std::vector<InstructionView>& instructions,
                       std::string& sOutput, std::string& sError) {
    size_t cbInserted = 0;
    for (const InstructionView& instruction : instructions)
        if (instruction.dwType == KX_INSTRUCTION_INSERT) cbInserted += instruction.sData.size();
    std::string sResult;
    sResult.reserve(sBuffer.size() + cbInserted);  // grown once: a page is copied once
    uint64_t qwCopied = 0;  // everything below this offset is in sResult or deleted
    for (const InstructionView& instruction : instructions) {
        if (instruction.qwOffset < qwCopied) {
            sError = "instructions out of order or overlapping a delete";
            return false;
        }
        sResult.append(sBuffer, qwCopied, instruction.qwOffset - qwCopied);
        qwCopied = instruction.qwOffset;
        if (instruction.dwType == KX_INSTRUCTION_INSERT) {
            sResult += instruction.sData;
        } else {
            if (instruction.qwOffset + instruction.dwLength > sBuffer.size()) {
                sError = "delete beyond the buffer end";
                return false;
            }
            qwCopied += instruction.dwLength;
        }
    }
    sResult.append(sBuffer, qwCopied, std::string::npos);
    sOutput = std::move(sResult);
    return true;
}

}  // namespace kxhost
