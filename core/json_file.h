/// \file
/// File node: the content of a file carried as one Base64 string.
#ifndef WEBJSON_JSON_FILE_H
#define WEBJSON_JSON_FILE_H

#include <vector>

#include "json_schema.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// A file's bytes, written as one Base64 string.
///
/// Reads its file once, at construction, and keeps the Base64 text (RFC 4648 alphabet, "="
/// padding, no line breaks). Written only: reading a document that hands it a member fails.
/// \ingroup nodes
class WEBJSON_API JsonSchemaFile : public JsonSchema {
  public:
    /// A node named name holding the encoding of the file at path.
    ///
    /// An unreadable path, or one that is not a regular file, gives the empty text, without any
    /// report.
    JsonSchemaFile(const char* name, const char* path);
    /// Destroys the node and its text.
    ~JsonSchemaFile() override;

    /// Replaces the text with the encoding of the file at path.
    ///
    /// The text is "" when the path is not a regular file (a device, a FIFO, a directory) or
    /// cannot be read, or when memory runs out.
    void FileToData(const char* path);
    /// Writes the decoded bytes to path, replacing its content; nothing when it cannot be opened.
    void DataToFile(const char* path);

    /// Does nothing: the text stays.
    void Reset() override;
    /// A node with the same name and the empty text; owned by the caller.
    JsonSchema* Clone() override;
    /// Writes the Base64 text as a string.
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Always fails for an enabled node ("a file value cannot be read"); the text is not changed.
    bool Format(JsonReadDocument& reader, bool withName) override;

  protected:
    /// The Base64 text followed by exactly one zero byte (empty if memory ran out even for that).
    std::vector<char> _data;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_FILE_H
