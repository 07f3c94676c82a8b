#include "dom/dom_edit.h"

#include "dom/buffer_position.h"
#include "dom/dom_exception.h"
#include "htmlparser/element.h"
#include "htmlparser/source.h"
#include "record/buffer_instruction_list.h"

DWORD InsertAtSourcePosition(const CSource& source, Position nPos, const char* pszData, CBufferInstructionList* pList) {
    return InsertHtmlStringAtPosition(BufferAddress(source, nPos), pszData, pList);
}

DWORD DeleteAtSourcePosition(const CSource& source, Position nPos, DWORD dwLength, CBufferInstructionList* pList) {
    return DeleteHtmlStringAtPosition(BufferAddress(source, nPos), dwLength, pList);
}

DWORD InsertNextToChild(const std::string& sOperation, const CElement* pChild, bool bAfter, const CSource& source,
                        Position nBegin, Position nEnd, const char* pszOwner, int64_t nPosition, const char* pszData,
                        CBufferInstructionList* pList) {
    if (pChild == nullptr) throw CDOMParserUndefinedObjectException(sOperation + " : childDOMElement is 0");
    if (pChild->getSource() != &source || pChild->getBegin() < nBegin || pChild->getEnd() > nEnd)
        throw CDOMParserIllegalArgumentException(
            sOperation + " : childDOMElement is not a child element or it's source differs from " + pszOwner,
            nPosition);
    return InsertAtSourcePosition(source, bAfter ? pChild->getEnd() : pChild->getBegin(), pszData, pList);
}
