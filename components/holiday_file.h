// A holiday file as calendar clients write country holiday lists:
//
//   [United States] 2
//   New Year's Day,2027/01/01
//   Independence Day,2027/07/04
//
// Each section names its holidays' count; a holiday is a name, a comma and
// a date. The text is UTF-16 with its byte-order mark (what the clients
// write) or UTF-8; blank lines are ignored. A file with any error is not
// used; the error names its line.
#ifndef KX_COMPONENTS_HOLIDAY_FILE_H
#define KX_COMPONENTS_HOLIDAY_FILE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The days of a month of the Gregorian calendar (nMonth 1 to 12).
int DaysInMonth(int nYear, int nMonth);

struct CHoliday {
    std::string sName;  // UTF-8
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
};

struct CHolidaySection {
    std::string sName;
    std::vector<CHoliday> holidays;
};

class CHolidayFile {
public:
    static constexpr size_t MAX_FILE_BYTES = 4 * 1024 * 1024;
    static constexpr size_t MAX_SECTIONS = 5000;
    static constexpr size_t MAX_HOLIDAYS = 100000;
    static constexpr size_t MAX_NAME_BYTES = 255;

    // Reads and parses the file; false with Error() set.
    bool Load(const std::string& sPath);
    // Parses the bytes of a file; false with Error() set.
    bool Parse(std::string_view sBytes);

    const std::vector<CHolidaySection>& Sections() const { return m_sections; }
    // The first section of that name (ASCII letters in any case); null when none.
    const CHolidaySection* Find(std::string_view sName) const;
    // "line N: ..." for the first error.
    const std::string& Error() const { return m_sError; }
    // Whether the last Load failed before parsing (missing, unreadable, too large).
    bool Unreadable() const { return m_bUnreadable; }

private:
    bool Fail(size_t nLine, const std::string& sWhat);
    bool ParseLine(std::string_view sLine, size_t nLine);
    bool CloseSection(size_t nLine);

    std::vector<CHolidaySection> m_sections;
    size_t m_nAnnounced = 0;
    size_t m_nHolidays = 0;
    std::string m_sError;
    bool m_bUnreadable = false;
};

#endif  // KX_COMPONENTS_HOLIDAY_FILE_H
