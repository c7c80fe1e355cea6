// Internal: the mark for a function kept out of line.
#ifndef WEBJSON_DETAIL_COLD_H
#define WEBJSON_DETAIL_COLD_H

// A function on a rare path (a failure, the stream's own functions, a slow fallback), a large
// one called from few places, or one that several sources share: kept out of line so that the
// hot loops that call it stay small, their common case falls through and the library holds one
// copy.
#if defined(__GNUC__)
#define WEBJSON_COLD [[gnu::noinline]]
#else
#define WEBJSON_COLD
#endif

#endif  // WEBJSON_DETAIL_COLD_H
