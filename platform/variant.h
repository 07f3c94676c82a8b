// The COM VARIANT of the settings tables: empty, a 32-bit integer or text
// (wide, as a BSTR holds it).
#ifndef KX_PLATFORM_VARIANT_H
#define KX_PLATFORM_VARIANT_H

#include <cstdint>
#include <string>
#include <variant>

using CVariant = std::variant<std::monostate, int32_t, std::u16string>;

#endif  // KX_PLATFORM_VARIANT_H
