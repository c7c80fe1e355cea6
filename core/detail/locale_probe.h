// Internal: what the C library's and a stream's locale do differently from the C locale.
#ifndef WEBJSON_DETAIL_LOCALE_PROBE_H
#define WEBJSON_DETAIL_LOCALE_PROBE_H

#include <cstdio>
#include <istream>
#include <locale>
#include <string>

#include "core/detail/cold.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// The C library's decimal point when it is not "." (a locale set with setlocale), else "".
// Asked of the C library's own formatting: localeconv's shared buffer is not safe beside other
// threads, and misses a thread's own locale.
inline std::string other_decimal_point() {
    char half[16];
    const int n = std::snprintf(half, sizeof half, "%.1f", 0.5);
    if (n < 3 || n >= static_cast<int>(sizeof half) || half[0] != '0' || half[n - 1] != '5') {
        return std::string();
    }
    std::string point(half + 1, half + n - 1);
    return point == "." ? std::string() : point;
}

// Whether the stream's locale counts as white space exactly the characters that the C locale
// counts.
WEBJSON_COLD inline bool classic_white_space(const std::istream& stream) {
    const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(stream.getloc());
    const std::ctype_base::mask* classic = std::ctype<char>::classic_table();
    bool same = true;
    for (int c = 0; c < 256 && same; ++c) {
        same = ctype.is(std::ctype_base::space, static_cast<char>(c)) ==
               ((classic[c] & std::ctype_base::space) != 0);
    }
    return same;
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_LOCALE_PROBE_H
