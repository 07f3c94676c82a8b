#include "dom/dom_source.h"

#include <cstdint>

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "dom/buffer_position.h"
#include "dom/dom_exception.h"
#include "htmlparser/element.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/start_tag_types.h"
#include "kx/host_abi.h"

namespace {

// A normal start tag made directly at nPos, without a candidate search.
CStartTag* NormalStartTagAt(CSource* pSource, Position nPos) {
    if (nPos == NO_POS) return nullptr;
    CTag* pTag = CStartTagTypeNormal::instance()->constructTagAt(pSource, nPos);
    return pTag != nullptr && pTag->isStartTag() ? static_cast<CStartTag*>(pTag) : nullptr;
}

CEndTag* NormalEndTagAt(CSource* pSource, Position nPos) {
    if (nPos == NO_POS) return nullptr;
    CTag* pTag = CEndTagTypeNormal::instance()->constructTagAt(pSource, nPos);
    return pTag != nullptr && !pTag->isStartTag() ? static_cast<CEndTag*>(pTag) : nullptr;
}

CEndTag* LastEndTag(CSource* pSource, std::string_view sName, Position nBefore) {
    return CEndTag::findPreviousOrNext(pSource, nBefore, sName, CEndTagTypeNormal::instance(), true);
}

}  // namespace

CDOMSource::CDOMSource(const CCommonPointers& pointers) {
    const BYTE* pStart = pointers.m_pBufferStart;
    const Position nBegin = pStart == nullptr                       ? NO_POS
                            : pointers.m_pHtmlDataStart == nullptr ? 0
                                                                    : OffsetInBuffer(pointers.m_pBufferStart, pointers.m_pHtmlDataStart);
    const Position nLast = OffsetInBuffer(pointers.m_pBufferStart, pointers.m_pBufferLast);
    const Position nEnd = pStart == nullptr || nLast == NO_POS ? 0 : nLast + 1;
    CSource* pSource = CSource::CREATE_NEW_INT(reinterpret_cast<const char*>(pStart), nBegin, nEnd);
    if (pSource == nullptr) {
        Trace("[CDOMSource::CDOMSource] CSource::CREATE_NEW_INST() failed. nBegin <%d> nEnd <%d>.", PosArg(nBegin),
              PosArg(nEnd));
        return;
    }
    m_spSource.reset(pSource);
    initHtmlFromHost(located(pointers, pointers.m_pHtmlTag));
    m_bBodyInitialized = initFromHost(located(pointers, pointers.m_pBodyTag), located(pointers, pointers.m_pBodyEndTag),
                                      m_body, "BODY");
    m_bHeadInitialized = initFromHost(located(pointers, pointers.m_pHeadTag), located(pointers, pointers.m_pHeadEndTag),
                                      m_head, "HEAD");
}

Position CDOMSource::located(const CCommonPointers& pointers, const BYTE* pTag) const {
    const Position nPos = OffsetInBuffer(pointers.m_pBufferStart, pTag);
    return nPos != NO_POS && m_spSource->contains(nPos) ? nPos : NO_POS;
}

void CDOMSource::initHtmlFromHost(Position nTag) {
    CStartTag* pStartTag = NormalStartTagAt(m_spSource.get(), nTag);
    if (pStartTag == nullptr) return;
    CEndTag* pEndTag = htmlEndTag(
        "[CDOMSource::CDOMSource] HTML element initialization: CEndTag::CREATE_NEW_INST() failed when creating an "
        "empty end tag at the end of the source document. nPos <%d> .");
    m_bHtmlInitialized = true;
    CElement* pElement = CElement::CREATE_NEW_INST(m_spSource.get(), pStartTag, pEndTag);
    if (pElement == nullptr)
        Trace("[CDOMSource::CDOMSource] HTML element initialization: CElement::CREATE_NEW_INST() failed.");
    m_html = CDOMElement(m_spSource, pElement);
}

bool CDOMSource::initFromHost(Position nTag, Position nEndTag, CDOMElement& element, const char* pszKind) {
    CStartTag* pStartTag = NormalStartTagAt(m_spSource.get(), nTag);
    if (pStartTag == nullptr) return false;
    element = elementOf(pStartTag, NormalEndTagAt(m_spSource.get(), nEndTag), "CDOMSource", pszKind,
                        "CStartTag::getElement() failed.");
    return true;
}

CEndTag* CDOMSource::htmlEndTag(const char* pszCreateFailed) {
    CSource* pSource = m_spSource.get();
    if (CEndTag* pEndTag = LastEndTag(pSource, "html", pSource->getEnd())) return pEndTag;
    CEndTag* pEmpty = CEndTag::CREATE_NEW_INST(pSource, pSource->getEnd(), pSource->getEnd(),
                                               CEndTagTypeNormal::instance(), "html");
    if (pEmpty == nullptr) Trace(pszCreateFailed, PosArg(pSource->getEnd()));
    return pEmpty;
}

CDOMElement CDOMSource::elementOf(CStartTag* pStartTag, CEndTag* pEndTag, const char* pszCaller, const char* pszKind,
                                  const char* pszGetElementFailed) {
    CElement* pElement = nullptr;
    if (pEndTag != nullptr) {
        pElement = CElement::CREATE_NEW_INST(m_spSource.get(), pStartTag, pEndTag);
        if (pElement == nullptr)
            Trace("[CDOMSource::%s] %s element initialization: CElement::CREATE_NEW_INST() failed", pszCaller, pszKind);
    } else {
        pElement = pStartTag->getElement();
        if (pElement == nullptr)
            Trace("[CDOMSource::%s] %s element initialization: %s", pszCaller, pszKind, pszGetElementFailed);
    }
    return CDOMElement(m_spSource, pElement);
}

CSource* CDOMSource::defined(const char* pszOperation) const {
    if (m_spSource == nullptr)
        throw CDOMParserUndefinedObjectException(std::string("CDOMSource::") + pszOperation + " : m_spSource is 0");
    return m_spSource.get();
}

CDOMElement CDOMSource::getHtml() {
    CSource* pSource = defined("getHtml()");
    if (m_bHtmlInitialized) return m_html;
    m_bHtmlInitialized = true;
    CStartTag* pStartTag = CStartTag::findPreviousOrNext(pSource, pSource->getBegin(), "html", false);
    if (pStartTag == nullptr) return m_html;
    CEndTag* pEndTag = htmlEndTag(
        "[CDOMSource::getHtml()] HTML element initialization: CEndTag::CREATE_NEW_INST() failed when creating an end "
        "tag at the end of the source document. nPos <%d> .");
    CElement* pElement = CElement::CREATE_NEW_INST(pSource, pStartTag, pEndTag);
    if (pElement == nullptr)
        Trace("[CDOMSource::getHtml()] HTML element initialization: CElement::CREATE_NEW_INST() failed");
    m_html = CDOMElement(m_spSource, pElement);
    return m_html;
}

CDOMElement CDOMSource::getBody() {
    CSource* pSource = defined("getBody()");
    if (m_bBodyInitialized) return m_body;
    m_bBodyInitialized = true;
    CStartTag* pStartTag = CStartTag::findPreviousOrNext(pSource, pSource->getBegin(), "body", false);
    if (pStartTag == nullptr) return m_body;
    m_body = elementOf(pStartTag, LastEndTag(pSource, "body", pSource->getEnd()), "getBody()", "BODY",
                       "CStartTag::getElement() failed");
    return m_body;
}

CDOMElement CDOMSource::getHead() {
    CSource* pSource = defined("getHead()");
    if (m_bHeadInitialized) return m_head;
    m_bHeadInitialized = true;
    CStartTag* pStartTag = CStartTag::findPreviousOrNext(pSource, pSource->getBegin(), "head", false);
    if (pStartTag == nullptr) return m_head;
    CEndTag* pEndTag = m_bBodyInitialized && !m_body.isUndefined()
                           ? LastEndTag(pSource, "head", m_body.getBeginPos())
                           : CEndTag::findNextNormal(pSource, pStartTag->getEnd(), "head");
    m_head = elementOf(pStartTag, pEndTag, "getHead", "HEAD", "CElement::getElment() failed");
    return m_head;
}

CDOMElement CDOMSource::getElementById(std::string_view sId) const {
    return CDOMElement(m_spSource, defined("getElementById()")->getElementById(sId));
}

CDOMElement CDOMSource::getEnclosingElement(Position nPos) const {
    return CDOMElement(m_spSource, defined("getEnclosingElement()")->findEnclosingElement(nPos));
}

Position CDOMSource::getBeginPos() const { return defined("getBeginPos()")->getBegin(); }

Position CDOMSource::scanForString(std::string_view sText, Position nPos, Position nLength) const {
    const CSource* pSource = defined("scanForString()");
    const Position nFrom = nPos < pSource->getBegin() ? pSource->getBegin() : nPos;
    if (!pSource->contains(nFrom)) return NO_POS;
    Position nTo = pSource->getEnd();
    if (nLength != NO_POS && nLength <= pSource->getEnd() && nPos <= pSource->getEnd() - nLength)
        nTo = nPos + nLength;
    if (nTo < nFrom) return NO_POS;
    const size_t nHit = FindNoCase(pSource->getText(), nFrom, nTo, sText);
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

std::string CDOMSource::substringData(Position nPos, Position nCount) const {
    return defined("substringData()")->substring(nPos, nCount);
}

DWORD CDOMSource::insertContentDataBefore(const char* pszData, const CDOMElement& child,
                                          CBufferInstructionList* pList) const {
    return insertAtChild("insertContentDataBefore()", pszData, child, false, pList);
}

DWORD CDOMSource::insertContentDataAfter(const char* pszData, const CDOMElement& child,
                                         CBufferInstructionList* pList) const {
    return insertAtChild("insertContentDataAfter()", pszData, child, true, pList);
}

DWORD CDOMSource::insertAtChild(const char* pszOperation, const char* pszData, const CDOMElement& child, bool bAfter,
                                CBufferInstructionList* pList) const {
    const CSource* pSource = defined(pszOperation);
    return InsertNextToChild(std::string("CDOMSource::") + pszOperation, child.getParserElement(), bAfter, *pSource,
                             pSource->getBegin(), pSource->getEnd(), "this source", -1, pszData, pList);
}
