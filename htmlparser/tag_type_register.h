// The register of tag types: a trie over their start delimiters, and the
// iterator over the candidate types at a position.
#ifndef KX_HTMLPARSER_TAG_TYPE_REGISTER_H
#define KX_HTMLPARSER_TAG_TYPE_REGISTER_H

#include <memory>
#include <vector>

#include "base/singleton.h"
#include "htmlparser/tag_type.h"

class CTagTypeRegister {
public:
    CTagTypeRegister() = default;
    CTagTypeRegister(const CTagTypeRegister&) = delete;
    CTagTypeRegister& operator=(const CTagTypeRegister&) = delete;

    // Adds the type at the node of its start delimiter, in front of the
    // types already there.
    void add(const CTagType* pTagType);

    // The child whose key is the byte, or null (binary search).
    const CTagTypeRegister* getChild(char chKey) const;
    const CTagTypeRegister* getParent() const { return m_pParent; }
    const std::vector<const CTagType*>& getTagTypes() const { return m_tagTypes; }

private:
    CTagTypeRegister(CTagTypeRegister* pParent, char chKey) : m_pParent(pParent), m_chKey(chKey) {}
    CTagTypeRegister* getOrAddChild(char chKey);

    CTagTypeRegister* m_pParent = nullptr;
    std::vector<std::unique_ptr<CTagTypeRegister>> m_children;  // sorted by key as signed bytes
    std::vector<const CTagType*> m_tagTypes;                     // latest registered first
    char m_chKey = 0;
};

// The candidate types at a position: longer start delimiters first, and
// among equal delimiters the latest registered first.
class CProspectiveTagTypeIterator {
public:
    CProspectiveTagTypeIterator(const CSource* pSource, Position nPos);
    bool isExhausted() const { return m_pCursor == nullptr; }
    // The next candidate; null (with a trace line) once exhausted.
    const CTagType* getNextTagType();

private:
    void moveUpToTypes(const CTagTypeRegister* pNode);

    const CTagTypeRegister* m_pCursor = nullptr;
    size_t m_nEntry = 0;
};

// The special tag types, inside which no other tag is recognised: comments,
// then CDATA sections.
class CTagTypeSingletonData : public CSingleton<CTagTypeSingletonData> {
public:
    std::vector<const CStartTagType*> m_specialTagTypes;

private:
    friend class CSingleton<CTagTypeSingletonData>;
    CTagTypeSingletonData();
};

class CTagTypeRegisterSingletonData : public CSingleton<CTagTypeRegisterSingletonData> {
public:
    CTagTypeRegister m_root;

private:
    friend class CSingleton<CTagTypeRegisterSingletonData>;
    CTagTypeRegisterSingletonData();
};

#endif  // KX_HTMLPARSER_TAG_TYPE_REGISTER_H
