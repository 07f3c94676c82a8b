// A half-open span [begin, end) of one source; the base of every parser object.
#ifndef KX_HTMLPARSER_SEGMENT_H
#define KX_HTMLPARSER_SEGMENT_H

#include <utility>

#include "htmlparser/position.h"

class CSource;
class CAttributes;

class CSegment {
public:
    // Null (after its trace lines) when the span rule fails.
    static CSegment* CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd);
    // The span rule: a source, begin and end set, begin <= end, inside the source.
    static bool checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd);

    virtual ~CSegment() = default;
    CSegment(const CSegment&) = delete;
    CSegment& operator=(const CSegment&) = delete;

    // The span parsed as the attribute list of a normal start tag (at most 2 errors).
    virtual CAttributes* parseAttributes();

    CSource* getSource() const { return m_pSource; }
    Position getBegin() const { return m_nBegin; }
    Position getEnd() const { return m_nEnd; }
    Position length() const { return m_nEnd - m_nBegin; }
    bool operator!=(const CSegment& other) const {
        return m_pSource != other.m_pSource || m_nBegin != other.m_nBegin || m_nEnd != other.m_nEnd;
    }

protected:
    friend class CSource;
    // Made through CSource::make, which hands it to the source to own.
    CSegment(CSource* pSource, Position nBegin, Position nEnd) : m_pSource(pSource), m_nBegin(nBegin), m_nEnd(nEnd) {}
    // For the source itself, which then points m_pSource at itself.
    CSegment(Position nBegin, Position nEnd);

    CSource* m_pSource;
    Position m_nBegin;
    Position m_nEnd;
};

#endif  // KX_HTMLPARSER_SEGMENT_H
