// How the host applies the worker's buffer instructions.
#ifndef KX_HOST_INSTRUCTION_APPLY_H
#define KX_HOST_INSTRUCTION_APPLY_H

#include <string>
#include <vector>

#include "kx/host_abi.h"

namespace kxhost {

struct InstructionView {
    DWORD dwType;
    uint64_t qwOffset;  // from the buffer start
    std::string sData;  // insert
    DWORD dwLength;     // delete
};

// Reads the list through the shared layout. Fails (returns false, sError
// set) when a node is malformed, the count disagrees with the nodes, or a
// position lies outside [pBufferStart, pBufferStart + cbBuffer].
bool ReadInstructions(const CBufferInstructionList* pList, const BYTE* pBufferStart, size_t cbBuffer,
                      std::vector<InstructionView>& instructions, std::string& sError);

// Applies instructions to the buffer as it was before any change: an insert
// adds its text before the byte at its offset, a delete removes bytes from
// it; texts at one offset come out in list order. Fails when the list is out
// of order or a delete overlaps another instruction or the buffer end.
bool ApplyInstructions(const std::string& sBuffer, const std::vector<InstructionView>& instructions,
                       std::string& sOutput, std::string& sError);

}  // namespace kxhost

#endif  // KX_HOST_INSTRUCTION_APPLY_H
