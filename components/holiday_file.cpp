#include "components/holiday_file.h"

#include <charconv>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/file_io.h"
#include "platform/utf.h"

namespace {

bool ReadNumber(std::string_view sText, int& nValue) {
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return !sText.empty() && error == std::errc() && pEnd == sText.data() + sText.size();
}

// "YYYY/MM/DD" within the years calendars keep.
bool ReadDate(std::string_view sText, CHoliday& holiday) {
    if (sText.size() != 10 || sText[4] != '/' || sText[7] != '/') return false;
    if (!ReadNumber(sText.substr(0, 4), holiday.nYear) || !ReadNumber(sText.substr(5, 2), holiday.nMonth) ||
        !ReadNumber(sText.substr(8, 2), holiday.nDay))
        return false;
    if (holiday.nYear < 1601 || holiday.nYear > 4500 || holiday.nMonth < 1 || holiday.nMonth > 12) return false;
    return holiday.nDay >= 1 && holiday.nDay <= DaysInMonth(holiday.nYear, holiday.nMonth);
}

// The text as UTF-8: UTF-16 by its byte-order mark, else UTF-8 (a mark
// skipped); false for text malformed in either.
bool DecodeText(std::string_view sBytes, std::string& sText) {
    const bool bLittle = sBytes.size() >= 2 && sBytes[0] == '\xFF' && sBytes[1] == '\xFE';
    const bool bBig = sBytes.size() >= 2 && sBytes[0] == '\xFE' && sBytes[1] == '\xFF';
    if (bLittle || bBig) {
        if (sBytes.size() % 2 != 0) return false;
        std::u16string sWide((sBytes.size() - 2) / 2, u'\0');
        for (size_t n = 0; n < sWide.size(); ++n) {
            const auto first = static_cast<unsigned char>(sBytes[2 + 2 * n]);
            const auto second = static_cast<unsigned char>(sBytes[3 + 2 * n]);
            sWide[n] = static_cast<char16_t>(bLittle ? first | second << 8 : second | first << 8);
        }
        if (!IsValidUtf16(sWide)) return false;  // no replacement characters in anyone's calendar
        sText = Utf16ToUtf8(sWide);
        return true;
    }
    if (sBytes.substr(0, 3) == "\xEF\xBB\xBF") sBytes.remove_prefix(3);
    if (!IsValidUtf8(sBytes)) return false;
    sText.assign(sBytes);
    return true;
}

}  // namespace

int DaysInMonth(int nYear, int nMonth) {
    static const int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bLeap = (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
    return DAYS[(nMonth - 1) % 12] + (nMonth == 2 && bLeap ? 1 : 0);
}

bool CHolidayFile::Load(const std::string& sPath) {
    std::string sBytes;
    const DWORD dwError = ReadRegularFile(sPath, MAX_FILE_BYTES, sBytes);
    m_bUnreadable = dwError != ERROR_SUCCESS;
    if (dwError == ERROR_FILE_TOO_LARGE)
        return Fail(0, "the file is larger than " + std::to_string(MAX_FILE_BYTES / 1024 / 1024) + " MB");
    if (dwError != ERROR_SUCCESS) return Fail(0, "the file cannot be read (error " + std::to_string(dwError) + ")");
    return Parse(sBytes);
}

bool CHolidayFile::Parse(std::string_view sBytes) {
    m_sections.clear();
    m_nAnnounced = m_nHolidays = 0;
    m_sError.clear();
    std::string sText;
    if (!DecodeText(sBytes, sText)) return Fail(0, "the file is neither UTF-16 with a byte-order mark nor UTF-8");
    size_t nLine = 0;
    for (size_t nStart = 0; nStart <= sText.size();) {
        size_t nEnd = sText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = sText.size();
        if (!ParseLine(std::string_view(sText).substr(nStart, nEnd - nStart), ++nLine)) return false;
        nStart = nEnd + 1;
    }
    if (!CloseSection(nLine)) return false;
    if (m_sections.empty()) return Fail(nLine, "the file holds no section");
    return true;
}

bool CHolidayFile::ParseLine(std::string_view sLine, size_t nLine) {
    sLine = TrimAsciiSpace(sLine);
    if (sLine.empty()) return true;
    if (sLine.front() == '[') {
        const size_t nClose = sLine.rfind(']');
        int nCount = -1;
        if (nClose == std::string_view::npos || nClose == 1 ||
            !ReadNumber(TrimAsciiSpace(sLine.substr(nClose + 1)), nCount) || nCount < 0)
            return Fail(nLine, "a section is written \"[Name] count\"");
        if (!CloseSection(nLine - 1)) return false;
        if (m_sections.size() == MAX_SECTIONS)
            return Fail(nLine, "more than " + std::to_string(MAX_SECTIONS) + " sections");
        const std::string_view sName = TrimAsciiSpace(sLine.substr(1, nClose - 1));
        if (sName.empty() || sName.size() > MAX_NAME_BYTES) return Fail(nLine, "a section name of 1 to 255 bytes");
        m_sections.push_back(CHolidaySection{std::string(sName), {}});
        m_nAnnounced = static_cast<size_t>(nCount);
        return true;
    }
    if (m_sections.empty()) return Fail(nLine, "a holiday before the first section");
    const size_t nComma = sLine.rfind(',');
    CHoliday holiday;
    if (nComma == std::string_view::npos || !ReadDate(TrimAsciiSpace(sLine.substr(nComma + 1)), holiday))
        return Fail(nLine, "a holiday is written \"Name,YYYY/MM/DD\" with a date from 1601 to 4500");
    const std::string_view sName = TrimAsciiSpace(sLine.substr(0, nComma));
    if (sName.empty() || sName.size() > MAX_NAME_BYTES) return Fail(nLine, "a holiday name of 1 to 255 bytes");
    if (++m_nHolidays > MAX_HOLIDAYS) return Fail(nLine, "more than " + std::to_string(MAX_HOLIDAYS) + " holidays");
    holiday.sName.assign(sName);
    m_sections.back().holidays.push_back(std::move(holiday));
    return true;
}

bool CHolidayFile::CloseSection(size_t nLine) {
    if (m_sections.empty()) return true;
    const CHolidaySection& section = m_sections.back();
    if (section.holidays.size() == m_nAnnounced) return true;
    return Fail(nLine, "section [" + section.sName + "] announces " + std::to_string(m_nAnnounced) + " holidays and has " +
                           std::to_string(section.holidays.size()));
}

bool CHolidayFile::Fail(size_t nLine, const std::string& sWhat) {
    m_sError = nLine == 0 ? sWhat : "line " + std::to_string(nLine) + ": " + sWhat;
    m_sections.clear();
    return false;
}

const CHolidaySection* CHolidayFile::Find(std::string_view sName) const {
    for (const CHolidaySection& section : m_sections)
        if (SameNoCase(section.sName, sName)) return &section;
    return nullptr;
}
