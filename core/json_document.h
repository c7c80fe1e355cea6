// Document root: owns one schema tree and writes or reads it as a whole JSON text.
#ifndef WEBJSON_JSON_DOCUMENT_H
#define WEBJSON_JSON_DOCUMENT_H

#include <pthread.h>

#include <istream>
#include <ostream>
#include <string>

#include "json_error.h"
#include "json_list.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

// Base of every document. A derived constructor does `_root = BuildSchema();`. In every
// operation a null list means the document's own tree; another list is used in its place.
// Failures print one of four lines on std::cout: "Write Document Error",
// "Compile Document failed", "Read Document Error", "Format Document failed".
// With neither a list nor a tree, the operations print the failure line and return false.
// Each of the four operations also leaves LastError: cleared on success, where and why on failure.
// No exception leaves the operations: a caller's exception mask on the stream, a buffer that
// throws or memory running out ends as the false result with its line (and the reset of a failed
// read), the stream's state bits set and the caller's mask put back as it was.
// No operation locks anything (arrays take a short lock only where the class-wide data of their
// element type change, see json_list.h). A document is used by one thread at a time; separate
// documents may be used on separate threads at once.
class WEBJSON_API JsonDocumentSchema {
  public:
    JsonDocumentSchema();
    // Deletes the tree, then destroys the mutex.
    virtual ~JsonDocumentSchema();

    // Creates the document's tree and returns its root object; called by derived constructors.
    virtual JsonSchemaList* BuildSchema() = 0;
    // Writes the tree to stream, without a key. Does not flush.
    virtual bool GenerateDocumentStream(std::ostream& stream, JsonSchemaList* list);
    // Resets the tree, then fills it from stream; resets it again when the text does not fit.
    virtual bool ProcessDocumentStream(std::istream& stream, JsonSchemaList* list);
    // Returns every value of the tree to its default and empties every array.
    virtual void _reset_schema(JsonSchemaList* list);

    // Writes the tree to the file at path (created or truncated); the file is flushed and closed,
    // and a failure there (a full disk) fails the write.
    bool GenerateDocument(const char* path, JsonSchemaList* list);
    // Fills the tree from the file at path; the tree is untouched when it cannot be opened.
    bool ProcessDocument(const char* path, JsonSchemaList* list);

    // How the last of the four operations above ended; see JsonError.
    const JsonError& LastError() const { return _error; }

  protected:
    // Sets LastError to a failure that is not about the place in a text.
    void _fail(const char* message, const char* subject = "");

    JsonSchemaList* _root;
    // Initialised and destroyed with the document; the library never locks it.
    pthread_mutex_t _mutex;
    JsonError _error;

  private:
    JsonDocumentSchema(const JsonDocumentSchema&) = delete;
    JsonDocumentSchema& operator=(const JsonDocumentSchema&) = delete;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_DOCUMENT_H
