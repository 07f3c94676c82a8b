// What the DOM facade throws on misuse: an undefined object or an illegal
// argument. Page modifiers catch CDOMParserException.
#ifndef KX_DOM_DOM_EXCEPTION_H
#define KX_DOM_DOM_EXCEPTION_H

#include <cstdint>
#include <exception>
#include <string>

class CDOMParserException : public std::exception {
public:
    // The message is the kind text followed by the specific one in brackets.
    CDOMParserException(const char* pszKind, const std::string& sMessage, int64_t nPosition)
        : m_sMessage(std::string(pszKind) + "[" + sMessage + "]"), m_nPosition(nPosition) {}
    const char* what() const noexcept override { return m_sMessage.c_str(); }
    const std::string& getMessage() const { return m_sMessage; }
    int64_t getPosition() const { return m_nPosition; }

private:
    std::string m_sMessage;
    int64_t m_nPosition;
};

class CDOMParserUndefinedObjectException : public CDOMParserException {
public:
    explicit CDOMParserUndefinedObjectException(const std::string& sMessage)
        : CDOMParserException("Undefined DOM object.", sMessage, -1) {}
};

class CDOMParserIllegalArgumentException : public CDOMParserException {
public:
    CDOMParserIllegalArgumentException(const std::string& sMessage, int64_t nPosition)
        : CDOMParserException("Illegal argument.", sMessage, nPosition) {}
};

#endif  // KX_DOM_DOM_EXCEPTION_H
