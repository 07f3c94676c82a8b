// The versioned folder under which the host serves the product's scripts so
// that browsers may cache them: a prefix value from the request, split into
// a five-character head and the rest (the tail).
#ifndef KX_FORMS_CACHED_SCRIPT_DECORATOR_H
#define KX_FORMS_CACHED_SCRIPT_DECORATOR_H

#include <string>

class CCachedScriptDecorator {
public:
    static constexpr size_t HEAD_LENGTH = 5;

    explicit CCachedScriptDecorator(const std::string& sPrefix);
    // Whether the value can stand in a URL path inside any attribute of a
    // page: letters, digits and "-._~!$()*+,;=:@%/" only. It comes from the
    // request, and its folder is inserted into the page's own script links.
    static bool IsUsablePrefix(const std::string& sPrefix);
    virtual ~CCachedScriptDecorator() = default;

    virtual std::string GetPrefixHead() const { return m_sHead; }
    virtual std::string GetPrefixTail() const { return m_sTail; }
    virtual std::string GetPrefix() const { return m_sHead + m_sTail; }
    // The prefix ending with one "/".
    virtual std::string GetPrefixFolder() const;
    virtual std::string DecorateName(const std::string& sName) const { return m_sHead + m_sTail + sName; }
    // s without its first head-length characters; s itself when not longer.
    virtual std::string StripPrefixHead(const std::string& s) const;
    // Whether the tail stands in s right after the head's length.
    virtual bool IsDecorated(const std::string& s) const;
    // Whether s is longer than the prefix folder and holds it (any case).
    virtual bool ContainsPrefixFolder(const std::string& s) const;
    // s with every prefix folder (any case) replaced by the tail.
    virtual std::string RemovePrefixFolders(const std::string& s) const;

private:
    std::string m_sHead;
    std::string m_sTail;
};

#endif  // KX_FORMS_CACHED_SCRIPT_DECORATOR_H
