// Checks of the tag cache against answers computed without it, shared by
// the unit tests and the fuzzer.
#ifndef KX_TESTS_PARSER_DIFFERENTIAL_H
#define KX_TESTS_PARSER_DIFFERENTIAL_H

#include <cstddef>
#include <string>

#include "htmlparser/position.h"

// Asks two sources over the same text the same questions, one with the
// cache and one with both cache flags off; bFullParseFirst runs the full
// parse on the cached one first. Returns the first difference, or "".
// At most nMaxPositions positions are asked about.
std::string CompareCachedWithUncached(const std::string& sText, Position nHtmlBegin, size_t nMaxPositions,
                                      bool bFullParseFirst);

// After a full parse: the all-tags list is in document order with indices
// 0, 1, 2, ... and the cached look-ups agree with plain scans of the list.
std::string CheckFullParse(const std::string& sText, Position nHtmlBegin, size_t nMaxPositions);

#endif  // KX_TESTS_PARSER_DIFFERENTIAL_H
