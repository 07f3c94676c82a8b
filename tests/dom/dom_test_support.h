// A DOM over a page held in a test string, as the host would describe it.
#ifndef KX_TESTS_DOM_TEST_SUPPORT_H
#define KX_TESTS_DOM_TEST_SUPPORT_H

#include <string>

#include "dom/dom_source.h"
#include "kx/host_abi.h"

// The record over sText; nothing located, the HTML starting at nHtmlBegin.
inline CCommonPointers PointersOver(std::string& sText, size_t nHtmlBegin = 0) {
    CCommonPointers pointers{};
    auto* pStart = reinterpret_cast<BYTE*>(sText.data());
    pointers.m_pBufferStart = pStart;
    pointers.m_pBufferLast = sText.empty() ? nullptr : pStart + sText.size() - 1;
    pointers.m_pHtmlDataStart = nHtmlBegin == 0 ? nullptr : pStart + nHtmlBegin;
    return pointers;
}

// Where the host found a tag: the first occurrence of sTag from nFrom.
inline BYTE* Locate(std::string& sText, const std::string& sTag, size_t nFrom = 0) {
    const size_t nAt = sText.find(sTag, nFrom);
    return nAt == std::string::npos ? nullptr : reinterpret_cast<BYTE*>(sText.data()) + nAt;
}

struct TestPage {
    explicit TestPage(std::string sPage) : sText(std::move(sPage)), dom(PointersOver(sText)) {}
    std::string sText;
    CDOMSource dom;
};

#endif  // KX_TESTS_DOM_TEST_SUPPORT_H
