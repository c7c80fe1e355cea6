// Internal: direct access to a stream buffer's get and put areas.
#ifndef WEBJSON_DETAIL_STREAM_AREA_H
#define WEBJSON_DETAIL_STREAM_AREA_H

#include <cstddef>
#include <ostream>
#include <streambuf>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// Direct access to a stream buffer's get and put areas. Taking characters that the get area
// holds, or storing characters where the put area has room, is all that sbumpc, sungetc and
// sputn do in those cases; doing it here saves a call and the stream's checks per piece. Every
// other case (an exhausted area, a failed stream) goes through the stream's own functions.
struct BufferAccess : std::streambuf {
    static char* Eback(const std::streambuf* b) { return (b->*&BufferAccess::eback)(); }
    static char* Gptr(const std::streambuf* b) { return (b->*&BufferAccess::gptr)(); }
    static char* Egptr(const std::streambuf* b) { return (b->*&BufferAccess::egptr)(); }
    static void Gbump(std::streambuf* b, int n) { (b->*&BufferAccess::gbump)(n); }
    static char* Pptr(const std::streambuf* b) { return (b->*&BufferAccess::pptr)(); }
    static char* Epptr(const std::streambuf* b) { return (b->*&BufferAccess::epptr)(); }
    static void Pbump(std::streambuf* b, int n) { (b->*&BufferAccess::pbump)(n); }
};

// Longest piece moved through an area at once (gbump and pbump take an int).
inline constexpr std::size_t kMaxPiece = std::size_t{1} << 30;

// Whether the stream's own output functions would do nothing but pass characters to its
// buffer: no tied stream to flush first, no flush after each output.
inline bool direct_output(const std::ostream& stream) {
    return stream.tie() == nullptr && !(stream.flags() & std::ios::unitbuf);
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_STREAM_AREA_H
