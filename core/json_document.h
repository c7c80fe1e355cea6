/// \file
/// Document root: owns one schema tree and writes or reads it as a whole JSON text.
#ifndef WEBJSON_JSON_DOCUMENT_H
#define WEBJSON_JSON_DOCUMENT_H

#include <pthread.h>

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

#include "json_error.h"
#include "json_list.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// Base of every document: owns one schema tree and writes or reads it as a whole JSON text.
///
/// A derived constructor does `_root = BuildSchema();`. In every operation a null list means the
/// document's own tree; another list is used in its place (a part of the tree, or a list the
/// caller owns).
///
/// Failures print one of four lines on std::cout: "Write Document Error",
/// "Compile Document failed", "Read Document Error", "Format Document failed".
/// With neither a list nor a tree, the operations print the failure line and return false.
/// Each of the four operations also leaves LastError: cleared on success, where and why on
/// failure. No exception leaves the operations: a caller's exception mask on the stream, a
/// buffer that throws or memory running out ends as the false result with its line (and the
/// reset of a failed read), the stream's state bits set and the caller's mask put back as it was.
///
/// No operation locks anything (arrays take a short lock only where the class-wide data of their
/// element type change, see JsonSchemaArray). A document is used by one thread at a time;
/// separate documents may be used on separate threads at once.
/// \ingroup documents
class WEBJSON_API JsonDocumentSchema {
  public:
    /// A document without a tree; the derived constructor builds it.
    JsonDocumentSchema();
    /// Deletes the tree, then destroys the mutex.
    virtual ~JsonDocumentSchema();

    /// Creates the document's tree and returns its root object, owned by the document once
    /// stored in _root; called by derived constructors.
    virtual JsonSchemaList* BuildSchema() = 0;
    /// Writes the tree (or list) to stream, without a key. Does not flush.
    ///
    /// Returns false, with "Compile Document failed", when a node's write failed or the stream
    /// was or became not good before the last item.
    virtual bool GenerateDocumentStream(std::ostream& stream, JsonSchemaList* list);
    /// Resets the tree (or list), then fills it from stream; resets it again when the text does
    /// not fit.
    ///
    /// Returns false, with "Format Document failed" and LastError saying where and why, when the
    /// text does not fit. Reading stops after the root object: text after it is left unread.
    virtual bool ProcessDocumentStream(std::istream& stream, JsonSchemaList* list);
    /// Returns every value of the tree (or list) to its default and empties every array.
    virtual void _reset_schema(JsonSchemaList* list);

    /// Writes the tree (or list) to the file at path (created or truncated).
    ///
    /// The file is flushed and closed, and a failure there (a full disk) fails the write with
    /// "Compile Document failed". A file that cannot be opened (or a null path) gives
    /// "Write Document Error".
    bool GenerateDocument(const char* path, JsonSchemaList* list);
    /// Fills the tree (or list) from the file at path, as ProcessDocumentStream does.
    ///
    /// The tree is untouched when the file cannot be opened (or path is null): the result is
    /// false with "Read Document Error".
    bool ProcessDocument(const char* path, JsonSchemaList* list);

    /// Writes the tree (or list) into out, replacing its contents: the text GenerateDocumentStream
    /// writes (through it, so a class's own version is used too), with its result, console line
    /// and LastError. No stream of the caller's is needed: the text goes straight into out's
    /// room, which grows as needed and is reused from one call to the next. After a failure out
    /// holds what was written before it.
    bool GenerateDocumentString(std::string& out, JsonSchemaList* list);
    /// Fills the tree (or list) from the size bytes at text, as ProcessDocumentStream does from a
    /// stream over the same bytes (through it, so a view that refuses reading refuses here too):
    /// the same result, console line, resets and LastError, offsets included. The text is read
    /// where it lies, not copied; it need not end with a zero byte. A null text is taken as empty.
    bool ProcessDocumentBuffer(const char* text, std::size_t size, JsonSchemaList* list);

    /// How the last of the operations above ended; see JsonError.
    const JsonError& LastError() const { return _error; }

  protected:
    /// Sets LastError to a failure that is not about the place in a text: message followed by
    /// subject.
    void _fail(const char* message, const char* subject = "");

    /// The document's tree, owned; null until the derived constructor stores it.
    JsonSchemaList* _root;
    /// Initialised and destroyed with the document; the library never locks it.
    pthread_mutex_t _mutex;
    /// What LastError returns.
    JsonError _error;

  private:
    JsonDocumentSchema(const JsonDocumentSchema&) = delete;
    JsonDocumentSchema& operator=(const JsonDocumentSchema&) = delete;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_DOCUMENT_H
