// Decimal text to a 32-bit integer, as the device's 32-bit atoi reads it. Internal.
#ifndef WEBJSON_DETAIL_DECIMAL_H
#define WEBJSON_DETAIL_DECIMAL_H

#include <cstdint>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// Leading blanks, an optional sign, then the digits up to the first other character of
// [p, end); 0 without digits. Text outside the 32-bit range saturates at INT32_MIN or
// INT32_MAX on every platform instead of being undefined.
std::int32_t decimal_to_int32(const char* p, const char* end);
// The same over a zero-terminated text.
std::int32_t decimal_to_int32(const char* text);

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_DECIMAL_H
