// Where and why the last operation of a document failed.
#ifndef WEBJSON_JSON_ERROR_H
#define WEBJSON_JSON_ERROR_H

#include <cstdint>
#include <string>

namespace DocumentAPI {
namespace JsonDocumentAPI {

// failed is false after a successful operation, and the rest is then empty or 0. After a failed
// read, offset is the number of bytes taken from the start of the read when the failure was
// found (the offset of the character that did not fit, from 0), line and column where that
// offset lies (both from 1; a line ends at "\n", columns count bytes), and path the node the
// failure belongs to: member names joined by ".", elements as "[i]" from 0, as in
// "attributes[3].value"; empty for the root. Failures that are not about the text (a file that
// cannot be opened, a stream that fails while writing) leave offset, line and column at 0.
// message is one English sentence saying what went wrong.
struct JsonError {
    bool failed = false;
    std::uint32_t offset = 0;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::string path;
    std::string message;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_ERROR_H
