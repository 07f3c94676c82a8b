// One attribute of a start tag: its name and, unless written without '=',
// its value with and without quotes.
#ifndef KX_HTMLPARSER_ATTRIBUTE_H
#define KX_HTMLPARSER_ATTRIBUTE_H

#include <string>

#include "htmlparser/segment.h"

class CAttribute : public CSegment {
public:
    static CAttribute* CREATE_NEW_INST(CSource* pSource, const std::string& csName, CSegment* pNameSegment,
                                       CSegment* pValueSegment, CSegment* pValueSegmentIncludingQuotes);
    static bool checkConstructorArgs(const CSource* pSource, const CSegment* pNameSegment,
                                     const CSegment* pValueSegment, const CSegment* pValueSegmentIncludingQuotes);

    const std::string& getName() const { return m_csName; }
    CSegment* getNameSegment() const { return m_pNameSegment; }
    // Null for an attribute written without '='.
    CSegment* getValueSegment() const { return m_pValueSegment; }
    CSegment* getValueSegmentIncludingQuotes() const { return m_pValueSegmentIncludingQuotes; }
    bool hasValue() const { return m_pValueSegment != nullptr; }
    std::string getValue() const;

private:
    friend class CSource;
    CAttribute(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName, CSegment* pNameSegment,
               CSegment* pValueSegment, CSegment* pValueSegmentIncludingQuotes)
        : CSegment(pSource, nBegin, nEnd),
          m_csName(csName),
          m_pNameSegment(pNameSegment),
          m_pValueSegment(pValueSegment),
          m_pValueSegmentIncludingQuotes(pValueSegmentIncludingQuotes) {}

    std::string m_csName;
    CSegment* m_pNameSegment;
    CSegment* m_pValueSegment;
    CSegment* m_pValueSegmentIncludingQuotes;
};

#endif  // KX_HTMLPARSER_ATTRIBUTE_H
