#include "record/buffer_instruction.h"

#include <cstdlib>
#include <cstring>

#include "base/win_errors.h"
#include "platform/hresult_error.h"

CBufferInstruction::CBufferInstruction() : KxBufferInstructionFields{KX_INSTRUCTION_NONE, 0, nullptr, 0, 0} {}

CBufferInstruction::CBufferInstruction(DWORD dwTypeIn, uint64_t qwPositionIn, DWORD dwLengthIn)
    : KxBufferInstructionFields{dwTypeIn, qwPositionIn, nullptr, 0, dwLengthIn} {}

CBufferInstruction::~CBufferInstruction() { FreeData(); }

void CBufferInstruction::FreeData() {
    if (bOwned != 0) std::free(const_cast<char*>(pData));
    pData = nullptr;
    bOwned = 0;
}

void CBufferInstruction::SetData(const char* pszText) {
    if (pszText == nullptr) {
        FreeData();
        return;
    }
    const size_t cbText = std::strlen(pszText);
    char* pCopy = static_cast<char*>(std::malloc(cbText + 1));
    if (pCopy == nullptr) throw CHResultError(E_OUTOFMEMORY);
    std::memcpy(pCopy, pszText, cbText + 1);
    FreeData();
    pData = pCopy;
    bOwned = 1;
}
