#include "htmlparser/attribute.h"

#include "diagnostics/trace.h"
#include "htmlparser/source.h"

bool CAttribute::checkConstructorArgs(const CSource* pSource, const CSegment* pNameSegment,
                                      const CSegment* pValueSegment, const CSegment* pValueSegmentIncludingQuotes) {
    if (pNameSegment == nullptr) {
        Trace("[CAttribute::checkConstructorArgs] pNameSegment is 0");
        return false;
    }
    const Position nBegin = pNameSegment->getBegin();
    const Position nEnd =
        pValueSegmentIncludingQuotes != nullptr ? pValueSegmentIncludingQuotes->getEnd() : pNameSegment->getEnd();
    if (!CSegment::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CAttribute::checkConstructorArgs] CSegment::checkConstructorArgs failed. nBegin <%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (pNameSegment->getSource() != pSource) {
        Trace("[CAttribute::checkConstructorArgs] Source of pNameSegment differs from pSource. nBegin <%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (pValueSegment != nullptr && pValueSegment->getSource() != pSource) {
        Trace("[CAttribute::checkConstructorArgs] Source of pValueSegment differs from pSource. nBegin <%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (pValueSegmentIncludingQuotes != nullptr && pValueSegmentIncludingQuotes->getSource() != pSource) {
        Trace("[CAttribute::checkConstructorArgs] Source of pValueSegmentIncludingQuotes differs from pSource. nBegin "
              "<%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    return true;
}

CAttribute* CAttribute::CREATE_NEW_INST(CSource* pSource, const std::string& csName, CSegment* pNameSegment,
                                        CSegment* pValueSegment, CSegment* pValueSegmentIncludingQuotes) {
    if (!checkConstructorArgs(pSource, pNameSegment, pValueSegment, pValueSegmentIncludingQuotes)) {
        Trace("[CAttribute::CREATE_NEW_INST] checkConstructorArgs() failed.");
        return nullptr;
    }
    const Position nEnd =
        pValueSegmentIncludingQuotes != nullptr ? pValueSegmentIncludingQuotes->getEnd() : pNameSegment->getEnd();
    return pSource->make<CAttribute>(pNameSegment->getBegin(), nEnd, csName, pNameSegment, pValueSegment,
                                     pValueSegmentIncludingQuotes);
}

std::string CAttribute::getValue() const {
    if (m_pValueSegment == nullptr) return {};
    return std::string(m_pSource->view(m_pValueSegment->getBegin(), m_pValueSegment->getEnd()));
}
