#include "tests/support/html_tree.h"

namespace {

void Collect(const GumboNode* pNode, GumboTag tag, std::vector<const GumboNode*>& found) {
    if (pNode->type != GUMBO_NODE_ELEMENT && pNode->type != GUMBO_NODE_TEMPLATE) return;
    if (pNode->v.element.tag == tag) found.push_back(pNode);
    const GumboVector& children = pNode->v.element.children;
    for (unsigned n = 0; n < children.length; ++n) Collect(static_cast<const GumboNode*>(children.data[n]), tag, found);
}

const GumboNode* FindId(const GumboNode* pNode, const std::string& sId) {
    if (pNode->type != GUMBO_NODE_ELEMENT) return nullptr;
    if (const GumboAttribute* pId = gumbo_get_attribute(&pNode->v.element.attributes, "id"))
        if (sId == pId->value) return pNode;
    const GumboVector& children = pNode->v.element.children;
    for (unsigned n = 0; n < children.length; ++n)
        if (const GumboNode* pFound = FindId(static_cast<const GumboNode*>(children.data[n]), sId)) return pFound;
    return nullptr;
}

const GumboNode* ElementSibling(const GumboNode* pNode, int nStep) {
    const GumboNode* pParent = pNode == nullptr ? nullptr : pNode->parent;
    if (pParent == nullptr) return nullptr;
    const GumboVector& children = pParent->v.element.children;
    for (long n = static_cast<long>(pNode->index_within_parent) + nStep; n >= 0 && n < static_cast<long>(children.length);
         n += nStep) {
        const auto* pSibling = static_cast<const GumboNode*>(children.data[n]);
        if (pSibling->type == GUMBO_NODE_ELEMENT) return pSibling;
    }
    return nullptr;
}

}  // namespace

CHtmlTree::CHtmlTree(const std::string& sHtml)
    : m_pOutput(gumbo_parse_with_options(&kGumboDefaultOptions, sHtml.data(), sHtml.size())) {}

CHtmlTree::~CHtmlTree() { gumbo_destroy_output(&kGumboDefaultOptions, m_pOutput); }

const GumboNode* CHtmlTree::ById(const std::string& sId) const { return FindId(Root(), sId); }

const GumboNode* CHtmlTree::Child(const GumboNode* pNode, GumboTag tag) const {
    const GumboVector& children = pNode->v.element.children;
    for (unsigned n = 0; n < children.length; ++n) {
        const auto* pChild = static_cast<const GumboNode*>(children.data[n]);
        if (pChild->type == GUMBO_NODE_ELEMENT && pChild->v.element.tag == tag) return pChild;
    }
    return nullptr;
}

std::vector<const GumboNode*> CHtmlTree::ByTag(const GumboNode* pNode, GumboTag tag) {
    std::vector<const GumboNode*> found;
    if (pNode != nullptr) Collect(pNode, tag, found);
    return found;
}

const GumboNode* CHtmlTree::Parent(const GumboNode* pNode) { return pNode == nullptr ? nullptr : pNode->parent; }

const GumboNode* CHtmlTree::NextElement(const GumboNode* pNode) { return ElementSibling(pNode, 1); }

const GumboNode* CHtmlTree::PreviousElement(const GumboNode* pNode) { return ElementSibling(pNode, -1); }

const GumboNode* CHtmlTree::Ancestor(const GumboNode* pNode, GumboTag tag) {
    for (const GumboNode* pUp = Parent(pNode); pUp != nullptr; pUp = Parent(pUp))
        if (pUp->type == GUMBO_NODE_ELEMENT && pUp->v.element.tag == tag) return pUp;
    return nullptr;
}

GumboTag CHtmlTree::Tag(const GumboNode* pNode) {
    return pNode != nullptr && pNode->type == GUMBO_NODE_ELEMENT ? pNode->v.element.tag : GUMBO_TAG_UNKNOWN;
}

std::string CHtmlTree::Attribute(const GumboNode* pNode, const char* pszName) {
    if (pNode == nullptr || pNode->type != GUMBO_NODE_ELEMENT) return "(none)";
    const GumboAttribute* pAttribute = gumbo_get_attribute(&pNode->v.element.attributes, pszName);
    return pAttribute == nullptr ? "(none)" : pAttribute->value;
}

std::string CHtmlTree::Text(const GumboNode* pNode) {
    if (pNode == nullptr) return "";
    if (pNode->type == GUMBO_NODE_TEXT || pNode->type == GUMBO_NODE_WHITESPACE || pNode->type == GUMBO_NODE_CDATA)
        return pNode->v.text.text;
    if (pNode->type != GUMBO_NODE_ELEMENT) return "";
    std::string sText;
    const GumboVector& children = pNode->v.element.children;
    for (unsigned n = 0; n < children.length; ++n) sText += Text(static_cast<const GumboNode*>(children.data[n]));
    return sText;
}
