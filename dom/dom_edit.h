// The shared handle every facade object keeps on its parsed page, and the
// one way a facade edit becomes a buffer instruction.
#ifndef KX_DOM_DOM_EDIT_H
#define KX_DOM_DOM_EDIT_H

#include <cstdint>
#include <memory>
#include <string>

#include "htmlparser/position.h"
#include "kx/win_types.h"

class CSource;
class CSegment;
class CBufferInstructionList;

typedef std::shared_ptr<CSource> CSourceHandle;

// Inserts a copy of pszData before the byte at parser position nPos of the
// host's buffer (the source text); the instruction call's status.
DWORD InsertAtSourcePosition(const CSource& source, Position nPos, const char* pszData, CBufferInstructionList* pList);
// Deletes dwLength bytes at parser position nPos.
DWORD DeleteAtSourcePosition(const CSource& source, Position nPos, DWORD dwLength, CBufferInstructionList* pList);

class CElement;

// Inserts pszData before (or after) pChild, which must be an element of
// pSource lying within [nBegin, nEnd). Otherwise throws, naming sOperation:
// the undefined-object exception for a null child, else the illegal-argument
// exception "... differs from <sOwner>" at nPosition.
DWORD InsertNextToChild(const std::string& sOperation, const CElement* pChild, bool bAfter, const CSource& source,
                        Position nBegin, Position nEnd, const char* pszOwner, int64_t nPosition, const char* pszData,
                        CBufferInstructionList* pList);

#endif  // KX_DOM_DOM_EDIT_H
