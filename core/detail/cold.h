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

// A function that runs only when something fails (to report why), for the rare values the fast
// paths leave to the C library (a double whose rounding cannot be proven), that the library's own
// paths never call, or that runs once for many calls of its caller (learning an array's prototype):
// also made for size rather than speed, and kept apart from the code that runs.
#if defined(__GNUC__)
#define WEBJSON_RARE [[gnu::cold, gnu::noinline]]
#else
#define WEBJSON_RARE
#endif

// A hot function that the compiler would copy into more than one caller: kept out of line on the
// device (32-bit ARM), where the library's room is short and a call costs little, and left to the
// compiler elsewhere.
#if defined(__GNUC__) && defined(__arm__)
#define WEBJSON_ONE_COPY [[gnu::noinline]]
#else
#define WEBJSON_ONE_COPY
#endif

// A short function that a hot loop calls, whose call costs more on the device (32-bit ARM) than
// its copies: copied into its callers there, and left to the compiler elsewhere.
#if defined(__GNUC__) && defined(__arm__)
#define WEBJSON_COPIED_ON_DEVICE [[gnu::always_inline]] inline
#else
#define WEBJSON_COPIED_ON_DEVICE
#endif

#endif  // WEBJSON_DETAIL_COLD_H
