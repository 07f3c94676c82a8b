#include "htmlparser/segment.h"

#include "diagnostics/trace.h"
#include "htmlparser/source.h"

CSegment::CSegment(Position nBegin, Position nEnd) : m_pSource(nullptr), m_nBegin(nBegin), m_nEnd(nEnd) {}

std::vector<CElement*> CSegment::s_noChildElements;

CSegment::~CSegment() {
    if (m_pChildElements != &s_noChildElements) delete m_pChildElements;
}

void CSegment::endChildElements() {
    if (m_pChildElements == nullptr) m_pChildElements = &s_noChildElements;
}

void CSegment::addChildElement(CElement* pElement) {
    if (m_pChildElements == nullptr || m_pChildElements == &s_noChildElements)
        m_pChildElements = new std::vector<CElement*>();
    m_pChildElements->push_back(pElement);
}

bool CSegment::checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd) {
    if (pSource == nullptr) {
        Trace("[CSegment::checkConstructorArgs] pSource is 0.");
        return false;
    }
    if (nBegin == NO_POS || nEnd == NO_POS || nBegin > nEnd) {
        Trace("[CSegment::checkConstructorArgs] invalid nBegin <%d>, nEnd <%d> values", PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (nBegin < pSource->getBegin() || nEnd > pSource->getEnd()) {
        Trace("[CSegment::checkConstructorArgs] pSource doesn't enclose this segment. nBegin <%d>, nEnd <%d> ",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    return true;
}

CSegment* CSegment::CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd) {
    if (!checkConstructorArgs(pSource, nBegin, nEnd)) return nullptr;
    return pSource->make<CSegment>(nBegin, nEnd);
}
