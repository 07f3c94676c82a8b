// Parser positions: byte offsets from the first byte of the caller's buffer.
#ifndef KX_HTMLPARSER_POSITION_H
#define KX_HTMLPARSER_POSITION_H

#include <cstdint>

typedef uint64_t Position;

// No position, or not found. Printed with %d it shows as -1.
constexpr Position NO_POS = ~static_cast<Position>(0);

// For "%d" in trace lines, as the design prints positions.
inline int PosArg(Position nPos) { return static_cast<int>(nPos); }

#endif  // KX_HTMLPARSER_POSITION_H
