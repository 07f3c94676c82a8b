// Readers of one directory attribute: each converts the value the directory
// gives into one field of its owner and renders that field as text.
#ifndef KX_DIRECTORY_AD_PROP_H
#define KX_DIRECTORY_AD_PROP_H

#include <cstdint>
#include <string>
#include <vector>

#include "base/no_case_string.h"
#include "platform/adsi.h"

class ADProp {
public:
    // How the attribute is read: one number, one text, or every value.
    enum : DWORD { READ_NUMBER = 0, READ_TEXT = 1, READ_LIST = 2 };

    ADProp(std::string sName, DWORD dwReadKind, void* pDestination)
        : m_sName(std::move(sName)), m_dwReadKind(dwReadKind), m_pDestination(pDestination) {}
    virtual ~ADProp() = default;
    ADProp(const ADProp&) = delete;
    ADProp& operator=(const ADProp&) = delete;

    // Stores the value in the destination field; DISP_E_TYPEMISMATCH for a
    // value of a type the field cannot take.
    virtual HRESULT SetFromValue(const CAdsVariant&) { return E_NOTIMPL; }
    virtual HRESULT GetAsText(std::string&) const { return E_NOTIMPL; }

    const std::string& Name() const { return m_sName; }
    DWORD ReadKind() const { return m_dwReadKind; }

protected:
    std::string m_sName;
    DWORD m_dwReadKind;
    void* m_pDestination;  // not owned
};

typedef std::vector<CNoCaseString> CNoCaseStringList;

// Value conversions of the readers, one per destination type; a value of a
// type the destination cannot take gives DISP_E_TYPEMISMATCH.
HRESULT AssignAdValue(int32_t& nDestination, const CAdsVariant& value);  // a number, or a decimal text
HRESULT AssignAdValue(std::string& sDestination, const CAdsVariant& value);
HRESULT AssignAdValue(CNoCaseString& sDestination, const CAdsVariant& value);
HRESULT AssignAdValue(std::u16string& sDestination, const CAdsVariant& value);
HRESULT AssignAdValue(CNoCaseStringList& destination, const CAdsVariant& value);  // every text, in order
std::string AdValueText(int32_t nValue);
std::string AdValueText(const std::string& sValue);
std::string AdValueText(const CNoCaseString& sValue);
std::string AdValueText(const std::u16string& sValue);
std::string AdValueText(const CNoCaseStringList& values);  // joined by ";"

// The reader for a destination of type T: int32_t, std::string,
// CNoCaseString, std::u16string or CNoCaseStringList.
template <class T>
class TReadADProp : public ADProp {
public:
    TReadADProp(std::string sName, DWORD dwReadKind, T* pDestination)
        : ADProp(std::move(sName), dwReadKind, pDestination) {}
    HRESULT SetFromValue(const CAdsVariant& value) override { return AssignAdValue(Destination(), value); }
    HRESULT GetAsText(std::string& sText) const override {
        sText = AdValueText(Destination());
        return S_OK;
    }

private:
    T& Destination() const { return *static_cast<T*>(m_pDestination); }
};

#endif  // KX_DIRECTORY_AD_PROP_H
