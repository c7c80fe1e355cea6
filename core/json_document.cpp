// Document root: writes and reads a whole tree through a stream or a file, and keeps why it failed.
#include <fstream>
#include <iostream>

#include "core/detail/json_guard.h"
#include "json_document.h"
#include "json_list.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

// A caller's exception mask on std::cout loses the line, not the result.
void print_line(const char* message) {
    Contain([message] { std::cout << message << std::endl; });
}

}  // namespace

JsonDocumentSchema::JsonDocumentSchema() : _root(nullptr) {
    pthread_mutex_init(&_mutex, nullptr);
}

JsonDocumentSchema::~JsonDocumentSchema() {
    delete _root;
    _root = nullptr;
    pthread_mutex_destroy(&_mutex);
}

bool JsonDocumentSchema::GenerateDocumentStream(std::ostream& stream, JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    bool result = tree != nullptr && RunWithoutExceptions(stream, [&] {
                      JsonWriteDocument writer(stream);
                      return tree->Compile(writer, false);
                  });
    if (!result) {
        print_line("Compile Document failed");
        const char* why = "the stream failed while writing";
        if (tree == nullptr) why = "the document has no tree";
        if (tree != nullptr && stream.good()) why = "the document could not be written";
        _fail(why);
    } else {
        _error = JsonError();
    }
    return result;
}

bool JsonDocumentSchema::ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    if (!tree) {
        print_line("Format Document failed");
        _fail("the document has no tree");
        return false;
    }
    bool reported = false;
    bool result = RunWithoutExceptions(stream, [&] {
        JsonReadDocument reader(stream);
        // The arrays reset here keep what they read for this read only.
        detail::ReadScope scope;
        _reset_schema(tree);
        if (tree->Format(reader, false)) return true;
        if (!reader.Error().failed) reader.Refuse("the text does not fit the document");
        _error = reader.Error();
        reported = true;
        return false;
    });
    if (!result) {
        // An exception (memory ran out, a buffer threw) ended the read before it said why.
        if (!reported) _fail("the read was stopped by an exception");
        print_line("Format Document failed");
        _reset_schema(tree);
    } else {
        _error = JsonError();
    }
    return result;
}

// Keeps why an operation failed: message followed by subject. When even that cannot be stored
// (memory ran out) the failure is still marked.
void JsonDocumentSchema::_fail(const char* message, const char* subject) {
    _error = JsonError();
    _error.failed = true;
    Contain([&] { (_error.message = message) += subject; });
}

void JsonDocumentSchema::_reset_schema(JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    if (tree) tree->Reset();
}

bool JsonDocumentSchema::GenerateDocument(const char* path, JsonSchemaList* list) {
    std::ofstream file;
    if (path) file.open(path, std::ios::out | std::ios::trunc);
    bool result = false;
    if (path && file.good() && file.is_open()) {
        result = GenerateDocumentStream(file, list);
        // The text reaches the disk when the file is flushed and closed: a full disk shows here.
        file.close();
        if (result && file.fail()) {
            print_line("Compile Document failed");
            _fail("the file could not be flushed and closed");
            result = false;
        }
    } else {
        print_line("Write Document Error");
        _fail(path ? "could not open " : "no file was named", path ? path : "");
    }
    return result;
}

bool JsonDocumentSchema::ProcessDocument(const char* path, JsonSchemaList* list) {
    std::ifstream file;
    if (path) file.open(path, std::ios::in);
    bool result = false;
    if (path && file.good() && file.is_open()) {
        result = ProcessDocumentStream(file, list);
    } else {
        print_line("Read Document Error");
        _fail(path ? "could not open " : "no file was named", path ? path : "");
    }
    file.close();
    return result;
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
