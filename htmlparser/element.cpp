#include "htmlparser/element.h"

#include "diagnostics/trace.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/tag_type.h"

bool CElement::checkConstructorArgs(const CSource* pSource, const CStartTag* pStartTag, const CEndTag* pEndTag) {
    if (pStartTag == nullptr) {
        Trace("[CElement::checkConstructorArgs] pStartTag is 0");
        return false;
    }
    const Position nBegin = pStartTag->getBegin();
    const Position nEnd = pEndTag != nullptr ? pEndTag->getEnd() : pStartTag->getEnd();
    if (!CSegment::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CElement::checkConstructorArgs] CSegment::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (pStartTag->getSource() != pSource) {
        Trace("[CElement::checkConstructorArgs] pStartTag's source differs from pSource. nBegin <%d> nEnd <%d>.",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    if (pEndTag != nullptr && pEndTag->getSource() != pSource) {
        Trace("[CElement::checkConstructorArgs] pEndTag's source differs from pSource. nBegin <%d> nEnd <%d>.",
              PosArg(nBegin), PosArg(nEnd));
        return false;
    }
    return true;
}

CElement* CElement::CREATE_NEW_INST(CSource* pSource, CStartTag* pStartTag, CEndTag* pEndTag) {
    if (!checkConstructorArgs(pSource, pStartTag, pEndTag)) {
        Trace("[CElement::CREATE_NEW_INST] checkConstructorArgs failed.");
        return nullptr;
    }
    const Position nEnd = pEndTag != nullptr ? pEndTag->getEnd() : pStartTag->getEnd();
    CEndTag* pStored = pEndTag != nullptr && pEndTag->getBegin() == pEndTag->getEnd() ? nullptr : pEndTag;
    return pSource->make<CElement>(pStartTag->getBegin(), nEnd, pStartTag, pStored);
}

const std::string& CElement::getName() const { return m_pStartTag->getName(); }

Position CElement::getContentBegin() const { return m_pStartTag->getEnd(); }

Position CElement::getContentEnd() const { return m_pEndTag != nullptr ? m_pEndTag->getBegin() : m_nEnd; }

CSegment* CElement::getContent() {
    if (m_pContent == nullptr) {
        m_pContent = CSegment::CREATE_NEW_INST(m_pSource, getContentBegin(), getContentEnd());
        if (m_pContent == nullptr)
            Trace("[CElement::getContent()] CSegment::CREATE_NEW_INST() failed. Content begin <%d> content end <%d>.",
                  PosArg(getContentBegin()), PosArg(getContentEnd()));
    }
    return m_pContent;
}

void CElement::setParentElement(CElement* pParent) {
    if (pParent != nullptr && pParent->getSource() != m_pSource) {
        Trace("[CElement::setParentElement] Parent element's source differs from this element's source. csName <%s> "
              "nBegin <%d> nEnd <%d>. Parent element name <%s> nBegin <%d> nEnd <%d>. ",
              getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd), pParent->getName().c_str(),
              PosArg(pParent->getBegin()), PosArg(pParent->getEnd()));
    } else {
        m_pParent = pParent;
    }
    m_bParentDetermined = true;
}

// Builds the subtree with an explicit stack: a page may nest elements as
// deep as it likes without reaching the thread's stack limit.
const std::vector<CElement*>& CElement::getChildElements(int nDepth) {
    struct CFrame {
        CElement* pElement;
        int nDepth;
        Position nScan;
    };
    std::vector<CFrame> stack{{this, nDepth, NO_POS}};
    while (!stack.empty()) {
        CFrame& frame = stack.back();
        CElement* pElement = frame.pElement;
        if (frame.nScan == NO_POS) {  // first visit
            if (frame.nDepth != -1) pElement->m_nDepth = frame.nDepth;
            if (pElement->childElementsBuilt() || pElement->m_nEnd == pElement->m_pStartTag->getEnd()) {
                pElement->endChildElements();
                stack.pop_back();
                continue;
            }
            frame.nScan = pElement->getContentBegin();
        }
        CStartTag* pTag = CStartTag::findNextBefore(m_pSource, frame.nScan, pElement->getContentEnd());
        if (pTag == nullptr) {
            pElement->endChildElements();
            stack.pop_back();
            continue;
        }
        CElement* pChild = pTag->getTagType()->isServerTag() ? nullptr : pTag->getElement();
        if (pChild == nullptr) {
            frame.nScan = pTag->getEnd();
            continue;
        }
        pChild->setParentElement(pElement);
        if (pChild->m_nEnd > pElement->m_nEnd)
            Trace("[CElement::getChildElements] ChildElement <%s> (ends at <%d>) extends beyond end of parent <%s> "
                  "(ending at <%d>).",
                  pChild->getName().c_str(), PosArg(pChild->m_nEnd), pElement->getName().c_str(),
                  PosArg(pElement->m_nEnd));
        pElement->addChildElement(pChild);
        frame.nScan = pChild->m_nEnd;
        const int nChildDepth = frame.nDepth == -1 ? -1 : frame.nDepth + 1;
        stack.push_back({pChild, nChildDepth, NO_POS});  // invalidates frame
    }
    return childElements();
}

CElement* CElement::getParentElement() {
    if (m_bParentDetermined) return m_pParent;
    Position nPos = m_pStartTag->getBegin();
    while (!m_bParentDetermined && nPos > m_pSource->getBegin()) {
        CStartTag* pTag = CStartTag::findPreviousOrNext(m_pSource, nPos - 1, true);
        if (pTag == nullptr) break;
        CElement* pCandidate = pTag->getTagType()->isServerTag() ? nullptr : pTag->getElement();
        if (pCandidate != nullptr && pCandidate->m_nBegin <= m_nBegin && pCandidate->m_nEnd >= m_nEnd) {
            pCandidate->getChildElements(pCandidate->m_nDepth);
            break;
        }
        nPos = pTag->getBegin();
    }
    m_bParentDetermined = true;
    return m_pParent;
}

CElement* CElement::childOf(CStartTag* pStartTag, const char* pszOperation) const {
    CElement* pChild = pStartTag->getElement();
    if (pChild != nullptr && pChild->m_nEnd > m_nEnd)
        Trace("[CElement::%s] Child or nested child element <%s> (ends at <%d>) extends beyond end of parent <%s> "
              "(ending at <%d>).",
              pszOperation, pChild->getName().c_str(), PosArg(pChild->m_nEnd), getName().c_str(), PosArg(m_nEnd));
    return pChild;
}

namespace {

// Start tags in [nFrom, nTo) that a search finds, server tags stepped over;
// the search resumes after each tag handed to fn, until fn returns false.
template <class Search, class Fn>
void ForEachStartTag(Position nFrom, Position nTo, Search search, Fn fn) {
    Position nPos = nFrom;
    while (nPos < nTo) {
        CStartTag* pTag = search(nPos);
        if (pTag == nullptr || pTag->getBegin() >= nTo) return;
        nPos = pTag->getEnd();
        if (pTag->getTagType()->isServerTag()) continue;
        if (!fn(pTag)) return;
    }
}

}  // namespace

CElement* CElement::getFirstChildOrNestedChildElementById(std::string_view csId) {
    CElement* pFound = nullptr;
    ForEachStartTag(
        getContentBegin(), getContentEnd(),
        [&](Position nPos) { return CStartTag::findNext(m_pSource, nPos, "id", csId, true); },
        [&](CStartTag* pTag) {
            pFound = childOf(pTag, "getFirstChildOrNestedChildElementById");
            return false;
        });
    return pFound;
}

CElement* CElement::findFirstChildOrNestedChildElementByName(std::string_view csName) {
    CStartTag* pTag = findFirstChildOrNestedChildStartTagByName(csName, [](CStartTag*) { return true; });
    return pTag == nullptr ? nullptr : childOf(pTag, "findFirstChildOrNestedChildElementByName");
}

CElement* CElement::findFirstChildOrNestedChildElementByNameAttribute(std::string_view csAttributeName,
                                                                      std::string_view csValue,
                                                                      bool bValueCaseSensitive) {
    CElement* pFound = nullptr;
    ForEachStartTag(
        getContentBegin(), getContentEnd(),
        [&](Position nPos) { return CStartTag::findNext(m_pSource, nPos, csAttributeName, csValue, bValueCaseSensitive); },
        [&](CStartTag* pTag) {
            pFound = childOf(pTag, "findFirstChildOrNestedChildElementByNameAttribute");
            return false;
        });
    return pFound;
}

void CElement::findAllChildOrNestedChildElementsByName(std::string_view csName, std::vector<CElement*>& vElements) {
    ForEachStartTag(
        getContentBegin(), getContentEnd(),
        [&](Position nPos) { return CStartTag::findPreviousOrNext(m_pSource, nPos, csName, false); },
        [&](CStartTag* pTag) {
            if (CElement* pChild = childOf(pTag, "findAllChildOrNestedChildElementsByName")) vElements.push_back(pChild);
            return true;
        });
}

void CElement::findAllChildOrNestedChildElementsByNameAttribute(std::string_view csAttributeName,
                                                                std::string_view csValue, bool bValueCaseSensitive,
                                                                std::vector<CElement*>& vElements) {
    ForEachStartTag(
        getContentBegin(), getContentEnd(),
        [&](Position nPos) { return CStartTag::findNext(m_pSource, nPos, csAttributeName, csValue, bValueCaseSensitive); },
        [&](CStartTag* pTag) {
            if (CElement* pChild = childOf(pTag, "findAllChildOrNestedChildElementsByNameAttribute"))
                vElements.push_back(pChild);
            return true;
        });
}

void CElement::findAllChildOrNestedChildStartTagsByName(std::string_view csName, std::vector<CStartTag*>& vStartTags) {
    findFirstChildOrNestedChildStartTagByName(csName, [&](CStartTag* pTag) {
        vStartTags.push_back(pTag);
        return false;  // on to the next
    });
}

CStartTag* CElement::findFirstChildOrNestedChildStartTagByName(std::string_view csName,
                                                               const std::function<bool(CStartTag*)>& accept) {
    CStartTag* pFound = nullptr;
    ForEachStartTag(
        getContentBegin(), getContentEnd(),
        [&](Position nPos) { return CStartTag::findNextBefore(m_pSource, nPos, csName, getContentEnd()); },
        [&](CStartTag* pTag) {
            if (accept(pTag)) pFound = pTag;
            return pFound == nullptr;
        });
    return pFound;
}
