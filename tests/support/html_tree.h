// A page parsed by a real HTML5 parser (gumbo), for checking the structure
// of what the worker sent rather than its bytes.
#ifndef KX_TESTS_HTML_TREE_H
#define KX_TESTS_HTML_TREE_H

#include <gumbo.h>

#include <string>
#include <vector>

class CHtmlTree {
public:
    explicit CHtmlTree(const std::string& sHtml);
    ~CHtmlTree();
    CHtmlTree(const CHtmlTree&) = delete;
    CHtmlTree& operator=(const CHtmlTree&) = delete;

    const GumboNode* Root() const { return m_pOutput->root; }
    // The first element with that id; null when none.
    const GumboNode* ById(const std::string& sId) const;
    // The element children of html named sTag ("head", "body").
    const GumboNode* Child(const GumboNode* pNode, GumboTag tag) const;

    // Every element with that tag under pNode, in document order.
    static std::vector<const GumboNode*> ByTag(const GumboNode* pNode, GumboTag tag);
    static const GumboNode* Parent(const GumboNode* pNode);
    // The nearest element sibling after / before pNode; null when none.
    static const GumboNode* NextElement(const GumboNode* pNode);
    static const GumboNode* PreviousElement(const GumboNode* pNode);
    // The nearest ancestor with that tag; null when none.
    static const GumboNode* Ancestor(const GumboNode* pNode, GumboTag tag);
    static GumboTag Tag(const GumboNode* pNode);
    // The attribute's value; "(none)" when it is missing.
    static std::string Attribute(const GumboNode* pNode, const char* pszName);
    // The text of every text node below pNode, as the user sees it.
    static std::string Text(const GumboNode* pNode);

private:
    GumboOutput* m_pOutput;
};

#endif  // KX_TESTS_HTML_TREE_H
