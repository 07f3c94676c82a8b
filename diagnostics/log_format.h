// The text formats of the trace log: the line prefix and the 100-byte header.
#ifndef KX_DIAGNOSTICS_LOG_FORMAT_H
#define KX_DIAGNOSTICS_LOG_FORMAT_H

#include <cstddef>

constexpr int LOG_HEADER_SIZE = 100;

// "\r\n2026/12/06 07:03:55.123 1A2B " (local time, calling thread id in hex);
// returns the bytes written (at most cbBuffer - 1).
size_t FormatLineStamp(char* pBuffer, size_t cbBuffer);

// Writes the numbers as "%d, %d, ..." (with a trailing "," when bTrailingComma)
// padded with blanks to LOG_HEADER_SIZE bytes; no NUL is written.
void WriteLogHeader(char* pHeader, const int* pValues, int nValues, bool bTrailingComma);

// Reads nValues decimal numbers separated by ", " from the header; false
// when they are not all there.
bool ReadLogHeader(const char* pHeader, size_t cbHeader, int* pValues, int nValues);

#endif  // KX_DIAGNOSTICS_LOG_FORMAT_H
