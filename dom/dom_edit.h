// The shared handle every facade object keeps on its parsed page, and the
// one way a facade edit becomes a buffer instruction.
#ifndef KX_DOM_DOM_EDIT_H
#define KX_DOM_DOM_EDIT_H

#include <memory>

#include "htmlparser/position.h"
#include "kx/host_abi.h"

class CSource;
class CSegment;
class CBufferInstructionList;

typedef std::shared_ptr<CSource> CSourceHandle;

// Inserts a copy of pszData before the byte at parser position nPos of the
// host's buffer (the source text); the instruction call's status.
DWORD InsertAtSourcePosition(const CSource& source, Position nPos, const char* pszData, CBufferInstructionList* pList);
// Deletes dwLength bytes at parser position nPos.
DWORD DeleteAtSourcePosition(const CSource& source, Position nPos, DWORD dwLength, CBufferInstructionList* pList);

// Whether segment lies in the same source as, and within, [nBegin, nEnd).
bool LiesWithin(const CSegment& segment, const CSource* pSource, Position nBegin, Position nEnd);

#endif  // KX_DOM_DOM_EDIT_H
