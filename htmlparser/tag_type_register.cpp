#include "htmlparser/tag_type_register.h"

#include <algorithm>

#include "diagnostics/trace.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag_types.h"

const CTagTypeRegister* CTagTypeRegister::getChild(char chKey) const {
    const auto it = std::lower_bound(m_children.begin(), m_children.end(), chKey, [](const auto& pNode, char ch) {
        return static_cast<signed char>(pNode->m_chKey) < static_cast<signed char>(ch);
    });
    return it != m_children.end() && (*it)->m_chKey == chKey ? it->get() : nullptr;
}

CTagTypeRegister* CTagTypeRegister::getOrAddChild(char chKey) {
    if (const CTagTypeRegister* pChild = getChild(chKey)) return const_cast<CTagTypeRegister*>(pChild);
    const auto it = std::upper_bound(m_children.begin(), m_children.end(), chKey, [](char ch, const auto& pNode) {
        return static_cast<signed char>(ch) < static_cast<signed char>(pNode->m_chKey);
    });
    return m_children.insert(it, std::unique_ptr<CTagTypeRegister>(new CTagTypeRegister(this, chKey)))->get();
}

void CTagTypeRegister::add(const CTagType* pTagType) {
    CTagTypeRegister* pNode = this;
    for (char ch : pTagType->getStartDelimiter()) pNode = pNode->getOrAddChild(ch);
    auto& types = pNode->m_tagTypes;
    types.erase(std::remove(types.begin(), types.end(), pTagType), types.end());
    types.insert(types.begin(), pTagType);
}

CProspectiveTagTypeIterator::CProspectiveTagTypeIterator(const CSource* pSource, Position nPos) {
    if (pSource == nullptr) {
        Trace("[CProspectiveTagTypeIterator::CProspectiveTagTypeIterator] pSource is 0. nPos <%d>.", PosArg(nPos));
        return;
    }
    if (!pSource->contains(nPos)) return;
    static const CTagTypeRegister* const pRoot = &CTagTypeRegisterSingletonData::GetInstance()->m_root;
    const CTagTypeRegister* pNode = pRoot;
    const char* pText = pSource->getText();
    for (Position n = nPos; n < pSource->getEnd(); ++n) {
        const CTagTypeRegister* pChild = pNode->getChild(pText[n]);
        if (pChild == nullptr) break;
        pNode = pChild;
    }
    moveUpToTypes(pNode);
}

void CProspectiveTagTypeIterator::moveUpToTypes(const CTagTypeRegister* pNode) {
    while (pNode != nullptr && pNode->getTagTypes().empty()) pNode = pNode->getParent();
    m_pCursor = pNode;
    m_nEntry = 0;
}

const CTagType* CProspectiveTagTypeIterator::getNextTagType() {
    if (m_pCursor == nullptr) {
        Trace("[CProspectiveTagTypeIterator::getNextTagType] m_pCursor is 0.");
        return nullptr;
    }
    const CTagType* pType = m_pCursor->getTagTypes()[m_nEntry];
    if (++m_nEntry >= m_pCursor->getTagTypes().size()) moveUpToTypes(m_pCursor->getParent());
    return pType;
}

CTagTypeSingletonData::CTagTypeSingletonData()
    : m_specialTagTypes{CStartTagTypeComment::instance(), CStartTagTypeCDATASection::instance()} {}

CTagTypeRegisterSingletonData::CTagTypeRegisterSingletonData() {
    const CStartTagTypeSingletonData& starts = *CStartTagTypeSingletonData::GetInstance();
    const CEndTagTypeSingletonData& ends = *CEndTagTypeSingletonData::GetInstance();
    for (const CTagType* pType : std::initializer_list<const CTagType*>{
             &starts.m_unregistered, &starts.m_normal, &starts.m_comment, &starts.m_markupDeclaration,
             &starts.m_doctypeDeclaration, &starts.m_cdataSection, &starts.m_xmlProcessingInstruction,
             &starts.m_xmlDeclaration, &starts.m_serverCommon, &ends.m_unregistered, &ends.m_normal})
        m_root.add(pType);
}
