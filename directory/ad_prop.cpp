#include "directory/ad_prop.h"

#include <charconv>

#include "platform/utf.h"

namespace {

const std::u16string* TextOf(const CAdsVariant& value) { return std::get_if<std::u16string>(&value); }

template <class TString>
HRESULT AssignNarrow(TString& sDestination, const CAdsVariant& value) {
    const std::u16string* pText = TextOf(value);
    if (pText == nullptr) return DISP_E_TYPEMISMATCH;
    const std::string sText = Utf16ToUtf8(*pText);
    sDestination.assign(sText.data(), sText.size());
    return S_OK;
}

}  // namespace

HRESULT AssignAdValue(int32_t& nDestination, const CAdsVariant& value) {
    if (const int32_t* pNumber = std::get_if<int32_t>(&value)) {
        nDestination = *pNumber;
        return S_OK;
    }
    const std::u16string* pText = TextOf(value);
    if (pText == nullptr) return DISP_E_TYPEMISMATCH;
    const std::string sText = Utf16ToUtf8(*pText);
    int32_t nNumber = 0;
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nNumber);
    if (sText.empty() || error != std::errc() || pEnd != sText.data() + sText.size()) return DISP_E_TYPEMISMATCH;
    nDestination = nNumber;
    return S_OK;
}

HRESULT AssignAdValue(std::string& sDestination, const CAdsVariant& value) { return AssignNarrow(sDestination, value); }

HRESULT AssignAdValue(CNoCaseString& sDestination, const CAdsVariant& value) {
    return AssignNarrow(sDestination, value);
}

HRESULT AssignAdValue(std::u16string& sDestination, const CAdsVariant& value) {
    const std::u16string* pText = TextOf(value);
    if (pText == nullptr) return DISP_E_TYPEMISMATCH;
    sDestination = *pText;
    return S_OK;
}

HRESULT AssignAdValue(CNoCaseStringList& destination, const CAdsVariant& value) {
    const auto* pTexts = std::get_if<std::vector<std::u16string>>(&value);
    if (pTexts == nullptr) return DISP_E_TYPEMISMATCH;
    CNoCaseStringList list;
    for (const std::u16string& sWide : *pTexts) {
        const std::string sText = Utf16ToUtf8(sWide);
        list.emplace_back(sText.data(), sText.size());
    }
    destination = std::move(list);
    return S_OK;
}

std::string AdValueText(int32_t nValue) { return std::to_string(nValue); }

std::string AdValueText(const std::string& sValue) { return sValue; }

std::string AdValueText(const CNoCaseString& sValue) { return std::string(sValue.data(), sValue.size()); }

std::string AdValueText(const std::u16string& sValue) { return Utf16ToUtf8(sValue); }

std::string AdValueText(const CNoCaseStringList& values) {
    std::string sText;
    for (const CNoCaseString& sItem : values) {
        if (!sText.empty()) sText += ';';
        sText.append(sItem.data(), sItem.size());
    }
    return sText;
}
