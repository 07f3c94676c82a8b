// Arbitrary bytes as a holiday file: parsed or refused with a line, never a
// crash, and what is kept stays within the file's own bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "components/holiday_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    CHolidayFile file;
    const bool bParsed = file.Parse(std::string_view(reinterpret_cast<const char*>(pData), cbData));
    if (bParsed != file.Error().empty()) std::abort();
    size_t nHolidays = 0;
    for (const CHolidaySection& section : file.Sections()) {
        if (section.sName.empty() || section.sName.size() > CHolidayFile::MAX_NAME_BYTES) std::abort();
        for (const CHoliday& holiday : section.holidays) {
            if (holiday.nMonth < 1 || holiday.nMonth > 12 || holiday.nDay < 1 || holiday.nDay > 31) std::abort();
            ++nHolidays;
        }
    }
    if (file.Sections().size() > CHolidayFile::MAX_SECTIONS || nHolidays > CHolidayFile::MAX_HOLIDAYS) std::abort();
    return 0;
}
