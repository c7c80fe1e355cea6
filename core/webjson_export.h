/// \file
/// Symbol visibility for the webjson library.
///
/// The library is built with hidden visibility; every class that programs use or derive from is
/// marked WEBJSON_API so that its members, virtual table and type information are exported.
#ifndef WEBJSON_EXPORT_H
#define WEBJSON_EXPORT_H

/// \def WEBJSON_API
/// Exports a class or function of the library: default visibility with GCC and Clang, nothing
/// with other compilers.
/// \ingroup platform
/// \def WEBJSON_INTERNAL
/// Keeps a helper type of the public headers out of the exported symbols: each program that
/// uses it makes its own copy.
/// \ingroup platform
#if defined(__GNUC__) || defined(__clang__)
#define WEBJSON_API __attribute__((visibility("default")))
#define WEBJSON_INTERNAL __attribute__((visibility("hidden")))
#else
#define WEBJSON_API
#define WEBJSON_INTERNAL
#endif

#endif  // WEBJSON_EXPORT_H
