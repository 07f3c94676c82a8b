// A source over a test string.
#ifndef KX_TESTS_PARSER_TEST_SUPPORT_H
#define KX_TESTS_PARSER_TEST_SUPPORT_H

#include <memory>
#include <string>

#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/tag.h"

struct Doc {
    explicit Doc(std::string sText, Position nHtmlBegin = 0)
        : m_sText(std::move(sText)), m_pSource(CSource::CREATE_NEW_INT(m_sText.data(), nHtmlBegin, m_sText.size())) {}
    CSource* operator->() const { return m_pSource.get(); }
    CSource* get() const { return m_pSource.get(); }
    Position at(const std::string& sNeedle, size_t nFrom = 0) const { return m_sText.find(sNeedle, nFrom); }
    CTag* tagAt(const std::string& sNeedle) const { return CTag::getTagAt(get(), at(sNeedle)); }
    std::string text(const CSegment* pSegment) const {
        return m_sText.substr(pSegment->getBegin(), pSegment->getEnd() - pSegment->getBegin());
    }

    std::string m_sText;
    std::unique_ptr<CSource> m_pSource;
};

#endif  // KX_TESTS_PARSER_TEST_SUPPORT_H
