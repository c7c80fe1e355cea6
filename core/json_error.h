/// \file
/// Where and why the last operation of a document failed.
#ifndef WEBJSON_JSON_ERROR_H
#define WEBJSON_JSON_ERROR_H

#include <cstdint>
#include <string>

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// Where and why the last operation of a document failed (JsonDocumentSchema::LastError).
///
/// failed is false after a successful operation, and the rest is then empty or 0. After a failed
/// read, offset, line and column tell where the failure was found and path which node it belongs
/// to. Failures that are not about the text (a file that cannot be opened, a stream that fails
/// while writing) leave offset, line and column at 0. Example, for the member "name" of the
/// second element of "ports" given a number:
/// \code
/// e.offset 91, e.line 2, e.column 54, e.path "ports[1].name",
/// e.message "expected a string but found '3'"
/// \endcode
/// \ingroup documents
struct JsonError {
    /// Whether the operation failed.
    bool failed = false;
    /// Bytes taken from the start of the read when the failure was found: the offset of the
    /// character that did not fit, from 0.
    std::uint32_t offset = 0;
    /// The line of offset, from 1; a line ends at a line feed.
    std::uint32_t line = 0;
    /// The column of offset in its line, from 1; columns count bytes.
    std::uint32_t column = 0;
    /// The node the failure belongs to: member names joined by ".", elements as "[i]" from 0, as
    /// in "attributes[3].value"; empty for the root.
    std::string path;
    /// One English sentence saying what went wrong.
    std::string message;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_ERROR_H
