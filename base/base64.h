// Base64 with the standard alphabet, padded, without line breaks.
#ifndef KX_BASE_BASE64_H
#define KX_BASE_BASE64_H

#include <string>
#include <string_view>

std::string EncodeBase64(std::string_view sBytes);

#endif  // KX_BASE_BASE64_H
