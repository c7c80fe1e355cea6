// Document root: writes and reads a whole tree through a stream or a file, and keeps why it failed.
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>

#include "core/detail/json_guard.h"
#include "json_document.h"
#include "json_list.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

// The put area is the string's own room: the text is written in place, the string grown (to its
// capacity, else to twice its size) when the area is full, and cut to what was written at the end.
class StringOut : public std::streambuf {
  public:
    // The string's present text is the first room: a string used for the previous document of a
    // similar size needs nothing more, and no byte is cleared that the document overwrites.
    explicit StringOut(std::string& out) : _out(out) {
        char* room = &_out[0];
        setp(room, room + _out.size());
    }
    void Finish() { _out.resize(static_cast<std::size_t>(pptr() - &_out[0])); }

  protected:
    // More room: the string's own capacity first (what the growth clears is what comes next), then
    // twice the text.
    int_type overflow(int_type c) override {
        const std::size_t used = static_cast<std::size_t>(pptr() - &_out[0]);
        std::size_t size = used < 64 ? 128 : 2 * used;
        if (_out.capacity() > used + 64 && _out.capacity() < size) size = _out.capacity();
        _out.resize(size);  // may throw: the writer's guard takes it
        char* room = &_out[0];
        setp(room + used, room + _out.size());
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

  private:
    std::string& _out;
};

// A get area over the caller's bytes, read where they lie.
class BufferIn : public std::streambuf {
  public:
    BufferIn(const char* text, std::size_t size) {
        char* begin = const_cast<char*>(text != nullptr ? text : "");
        setg(begin, begin, begin + (text != nullptr ? size : 0));
    }
};

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
    bool finished = false;  // false: an exception (a source's, memory running out) ended it
    bool result = tree != nullptr && RunWithoutExceptions(stream, [&] {
                      JsonWriteDocument writer(stream);
                      const bool written = tree->Compile(writer, false);
                      finished = true;
                      return written;
                  });
    if (!result) {
        print_line("Compile Document failed");
        const char* why = "the stream failed while writing";
        if (tree == nullptr) why = "the document has no tree";
        if (tree != nullptr && stream.good()) why = "the document could not be written";
        if (tree != nullptr && !finished) why = "the write was stopped by an exception";
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

bool JsonDocumentSchema::GenerateDocumentString(std::string& out, JsonSchemaList* list) {
    bool result = false;
    const bool ran = Contain([&] {
        StringOut buffer(out);
        std::ostream stream(&buffer);
        result = GenerateDocumentStream(stream, list);
        buffer.Finish();
    });
    if (!ran) {  // memory ran out before the document's write could say so
        out.clear();
        print_line("Compile Document failed");
        _fail("the write was stopped by an exception");
    }
    return result;
}

bool JsonDocumentSchema::ProcessDocumentBuffer(const char* text, std::size_t size,
                                               JsonSchemaList* list) {
    BufferIn buffer(text, size);
    std::istream stream(&buffer);
    return ProcessDocumentStream(stream, list);
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
