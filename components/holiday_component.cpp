#include "components/holiday_component.h"

#include <charconv>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/utf.h"

namespace {

bool PercentDecode(std::string_view sText, std::string& sValue) {
    sValue.clear();
    for (size_t n = 0; n < sText.size(); ++n) {
        if (sText[n] != '%') {
            sValue += sText[n];
            continue;
        }
        const int nHigh = n + 2 < sText.size() ? AsciiHexValue(static_cast<unsigned char>(sText[n + 1])) : -1;
        const int nLow = n + 2 < sText.size() ? AsciiHexValue(static_cast<unsigned char>(sText[n + 2])) : -1;
        if (nHigh < 0 || nLow < 0) return false;
        sValue += static_cast<char>(nHigh * 16 + nLow);
        n += 2;
    }
    return IsValidUtf8(sValue);
}

}  // namespace

bool CHolidayComponent::ParseConfiguration(const std::string& sText, CHolidayConnection& connection,
                                           std::string& sWhy) {
    CHolidayConnection parsed;
    for (size_t nStart = 0; nStart < sText.size();) {
        size_t nEnd = sText.find(';', nStart);
        if (nEnd == std::string::npos) nEnd = sText.size();
        const std::string_view sPair = std::string_view(sText).substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (sPair.empty()) continue;
        const size_t nEquals = sPair.find('=');
        std::string sValue;
        if (nEquals == std::string_view::npos || !PercentDecode(sPair.substr(nEquals + 1), sValue)) {
            sWhy = "malformed pair <" + std::string(sPair) + ">";
            return false;
        }
        const std::string_view sKey = sPair.substr(0, nEquals);
        if (sKey == "ews") {
            parsed.sEwsUrl = sValue;
        } else if (sKey == "mailbox") {
            parsed.sMailbox = sValue;
        } else if (sKey == "actas") {
            const size_t nBar = sValue.find('|');
            if (nBar == 1 && (sValue[0] == '1' || sValue[0] == '2') && nBar + 1 < sValue.size()) {
                parsed.nActAsKind = sValue[0] - '0';
                parsed.sActAs = sValue.substr(nBar + 1);
            } else {
                sWhy = "actas is <1 or 2>|<name>";
                return false;
            }
        } else if (sKey == "tz") {
            parsed.sTimeZone = sValue;
        } else if (sKey == "version") {
            const auto [pEnd, error] = std::from_chars(sValue.data(), sValue.data() + sValue.size(), parsed.nVersion);
            if (error != std::errc() || pEnd != sValue.data() + sValue.size()) {
                sWhy = "version <" + sValue + "> is no number";
                return false;
            }
        } else if (sKey == "record") {
            const size_t nFirst = sValue.find('|');
            const size_t nSecond = nFirst == std::string::npos ? nFirst : sValue.find('|', nFirst + 1);
            if (nSecond == std::string::npos || nFirst == 0 || nSecond == nFirst + 1) {
                sWhy = "a record is <guid>|<name>|<value>";
                return false;
            }
            parsed.records.push_back(CEwsExtendedProperty{sValue.substr(0, nFirst),
                                                          sValue.substr(nFirst + 1, nSecond - nFirst - 1),
                                                          sValue.substr(nSecond + 1), false});
        } else {
            sWhy = "unknown key <" + std::string(sKey) + ">";
            return false;
        }
    }
    if (parsed.sEwsUrl.empty()) {
        sWhy = "no EWS address (ews=)";
        return false;
    }
    connection = std::move(parsed);
    return true;
}

HRESULT CHolidayComponent::Initialize(const std::u16string& sPath, long /*nFlags*/) {
    m_sSource = Utf16ToUtf8(sPath);
    return S_OK;
}

HRESULT CHolidayComponent::Configure(long nKind, const std::u16string& sConfiguration, long& nResult) {
    std::string sWhy = "kind " + std::to_string(nKind) + " is not 1";
    m_bConfigured = nKind == 1 && ParseConfiguration(Utf16ToUtf8(sConfiguration), m_connection, sWhy);
    if (!m_bConfigured) {
        m_sError = "Configure: " + sWhy;
        nResult = RESULT_BAD_REQUEST;
        return E_INVALIDARG;
    }
    nResult = 0;
    return S_OK;
}

HRESULT CHolidayComponent::GetHolidayStatus(long& nState) {
    nState = m_spStore->ImportState();
    return S_OK;
}

HRESULT CHolidayComponent::LoadFile(CHolidayWork kind, const std::u16string& sPath, uint16_t& nResult) {
    m_sSource = Utf16ToUtf8(sPath);
    m_sError.clear();
    nResult = m_spStore->Load(kind, m_sSource, m_sError) ? HOLIDAY_FILE_LOADED : 0;
    return S_OK;
}

HRESULT CHolidayComponent::LoadHolidayFile(const std::u16string& sPath, uint16_t& nResult) {
    return LoadFile(CHolidayWork::IMPORT, sPath, nResult);
}

HRESULT CHolidayComponent::LoadDeleteFile(const std::u16string& sPath, uint16_t& nResult) {
    return LoadFile(CHolidayWork::REMOVE, sPath, nResult);
}

HRESULT CHolidayComponent::IsHolydayFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) {
    bLoaded = m_spStore->IsLoaded(CHolidayWork::IMPORT, Utf16ToUtf8(sPath)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CHolidayComponent::IsDeleteFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) {
    bLoaded = m_spStore->IsLoaded(CHolidayWork::REMOVE, Utf16ToUtf8(sPath)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CHolidayComponent::RemoveHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) {
    bRemoved = m_spStore->Remove(CHolidayWork::IMPORT, Utf16ToUtf8(sPath)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CHolidayComponent::RemoveDeleteHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) {
    bRemoved = m_spStore->Remove(CHolidayWork::REMOVE, Utf16ToUtf8(sPath)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CHolidayComponent::GetErrorDescription(std::u16string& sDescription, std::u16string& sSource) {
    sDescription = Utf8ToUtf16(m_sError);
    sSource = Utf8ToUtf16(m_sSource);
    return S_OK;
}

long CHolidayComponent::Queue(CHolidayJob job) {
    if (!m_bConfigured) {
        m_sError = "not configured";
        return RESULT_NOT_CONFIGURED;
    }
    job.spFile = m_spStore->Current(job.work);
    if (job.spFile == nullptr) {
        m_sError = "no holiday file is loaded";
        return RESULT_NO_FILE;
    }
    if (!m_spStore->Submit(std::move(job))) {
        m_sError = "the holiday work queue is full or stopping";
        return RESULT_BUSY;
    }
    return 0;
}

HRESULT CHolidayComponent::AddHolidays(const std::u16string& sUser, const std::vector<std::u16string>& sections,
                                       const std::u16string& sMailbox, int16_t /*nFlag*/, long& nResult) {
    CHolidayJob job;
    job.work = CHolidayWork::IMPORT;
    job.sUser = Utf16ToUtf8(sUser);
    job.connection = m_connection;
    if (!sMailbox.empty()) job.connection.sMailbox = Utf16ToUtf8(sMailbox);
    for (const std::u16string& sSection : sections) job.sections.push_back(Utf16ToUtf8(sSection));
    nResult = job.sUser.empty() || job.sections.empty() ? RESULT_BAD_REQUEST : Queue(std::move(job));
    return S_OK;
}

HRESULT CHolidayComponent::DeleteHolidays(const std::u16string& sRequest, long& nResult) {
    CHolidayJob job;
    job.work = CHolidayWork::REMOVE;
    job.sUser = Utf16ToUtf8(sRequest);
    job.connection = m_connection;
    nResult = job.sUser.empty() ? RESULT_BAD_REQUEST : Queue(std::move(job));
    return S_OK;
}
