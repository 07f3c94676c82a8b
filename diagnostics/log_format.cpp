#include "diagnostics/log_format.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace {

// The stamp of the current second, formatted once per second and thread:
// "\r\nYYYY/MM/DD hh:mm:ss." followed by the milliseconds and the thread id.
struct CSecondStamp {
    int64_t nSecond = -1;
    char szText[32] = {};
    size_t cbText = 0;
};

void PutDigits(char* pOut, unsigned nValue, int nDigits) {
    for (int n = nDigits - 1; n >= 0; --n, nValue /= 10) pOut[n] = static_cast<char>('0' + nValue % 10);
}

}  // namespace

size_t FormatLineStamp(char* pBuffer, size_t cbBuffer) {
    thread_local CSecondStamp stamp;
    int64_t nSecond = 0;
    unsigned nMillisecond = 0;
    ClockNow(nSecond, nMillisecond);
    if (nSecond != stamp.nSecond) {
        CLocalTime local{};
        ToLocalTime(nSecond, local);  // now always has a calendar time
        const int nWritten = std::snprintf(stamp.szText, sizeof(stamp.szText), "\r\n%04u/%02u/%02u %02u:%02u:%02u.",
                                           local.nYear, local.nMonth, local.nDay, local.nHour, local.nMinute,
                                           local.nSecond);
        stamp.cbText = nWritten > 0 ? std::min(static_cast<size_t>(nWritten), sizeof(stamp.szText) - 1) : 0;
        stamp.nSecond = nSecond;
    }
    char szLine[64];
    std::memcpy(szLine, stamp.szText, stamp.cbText);
    size_t cbLine = stamp.cbText;
    PutDigits(szLine + cbLine, nMillisecond, 3);
    cbLine += 3;
    const int nTid = std::snprintf(szLine + cbLine, sizeof(szLine) - cbLine, " %4X ", CurrentThreadId());
    cbLine += nTid > 0 ? static_cast<size_t>(nTid) : 0;
    const size_t cbCopy = std::min(cbLine, cbBuffer - 1);
    std::memcpy(pBuffer, szLine, cbCopy);
    pBuffer[cbCopy] = '\0';
    return cbCopy;
}

void WriteLogHeader(char* pHeader, const int* pValues, int nValues, bool bTrailingComma) {
    char* pOut = pHeader;
    char* const pEnd = pHeader + LOG_HEADER_SIZE;
    for (int n = 0; n < nValues && pEnd - pOut > 12; ++n) {
        if (n > 0) {
            *pOut++ = ',';
            *pOut++ = ' ';
        }
        pOut = std::to_chars(pOut, pEnd, pValues[n]).ptr;
    }
    if (bTrailingComma && pOut < pEnd) *pOut++ = ',';
    std::memset(pOut, ' ', static_cast<size_t>(pEnd - pOut));
}

bool ReadLogHeader(const char* pHeader, size_t cbHeader, int* pValues, int nValues) {
    const char* p = pHeader;
    const char* const pEnd = pHeader + std::min(cbHeader, static_cast<size_t>(LOG_HEADER_SIZE));
    for (int n = 0; n < nValues; ++n) {
        if (n > 0) {
            if (pEnd - p < 2 || p[0] != ',' || p[1] != ' ') return false;
            p += 2;
        }
        const auto [pNext, error] = std::from_chars(p, pEnd, pValues[n]);
        if (error != std::errc() || pValues[n] < 0) return false;
        p = pNext;
    }
    return true;
}
