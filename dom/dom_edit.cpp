#include "dom/dom_edit.h"

#include <cstdint>

#include "entry/buffer_instruction_list.h"
#include "htmlparser/source.h"

namespace {

uint64_t BufferAddress(const CSource& source, Position nPos) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(source.getText() + nPos));
}

}  // namespace

DWORD InsertAtSourcePosition(const CSource& source, Position nPos, const char* pszData, CBufferInstructionList* pList) {
    return InsertHtmlStringAtPosition(BufferAddress(source, nPos), pszData, pList);
}

DWORD DeleteAtSourcePosition(const CSource& source, Position nPos, DWORD dwLength, CBufferInstructionList* pList) {
    return DeleteHtmlStringAtPosition(BufferAddress(source, nPos), dwLength, pList);
}

bool LiesWithin(const CSegment& segment, const CSource* pSource, Position nBegin, Position nEnd) {
    return segment.getSource() == pSource && segment.getBegin() >= nBegin && segment.getEnd() <= nEnd;
}
