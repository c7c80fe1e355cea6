// File node: a regular file's bytes written as Base64 text, and Base64 text written back to a file.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

#include "core/detail/base64.h"
#include "core/detail/json_guard.h"
#include "json_file.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

// Appends the Base64 text of the regular file at path (of size bytes) to data.
void encode_file(const char* path, std::uint64_t size, std::vector<char>& data) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return;
    if (size < (std::uint64_t{1} << 30))
        data.reserve(static_cast<std::size_t>((size + 2) / 3 * 4 + 1));
    // Read through the stream (not its buffer) so that read errors end the text instead of
    // throwing.
    char chunk[4096];
    detail::Base64Encoder encoder(data);
    while (file.good()) {
        file.read(chunk, sizeof chunk);
        std::streamsize n = file.gcount();
        for (std::streamsize i = 0; i < n; ++i)
            encoder.Add(static_cast<unsigned char>(chunk[i]));
    }
    encoder.Finish();
}

}  // namespace

JsonSchemaFile::JsonSchemaFile(const char* name, const char* path) : JsonSchema(name) {
    FileToData(path);
}

JsonSchemaFile::~JsonSchemaFile() {}

void JsonSchemaFile::FileToData(const char* path) {
    _data.clear();
    // Only regular files: a device such as /dev/zero never ends, and opening a FIFO waits for
    // a writer.
    struct stat status;
    if (path && *path && ::stat(path, &status) == 0 && S_ISREG(status.st_mode)) {
        const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
        if (!Contain([&] { encode_file(path, size, _data); })) {
            std::vector<char>().swap(_data);  // out of memory: the empty text
        }
    }
    // Without memory even for the zero byte the vector stays empty, which writes as "" too.
    Contain([this] { _data.push_back('\0'); });
}

void JsonSchemaFile::DataToFile(const char* path) {
    if (!path) return;
    Contain([this, path] {  // the file's buffer is the only allocation
        std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!file.is_open()) return;
        unsigned int q[4];
        unsigned int filled = 0;
        char bytes[3 * 1024];
        std::size_t n = 0;
        for (char c : _data) {
            if (c == '\0') break;
            q[filled++] = detail::base64_value(c);
            if (filled < 4) continue;
            filled = 0;
            n += detail::base64_decode_group(q, bytes + n);
            if (n + 3 > sizeof bytes) {
                file.write(bytes, static_cast<std::streamsize>(n));
                n = 0;
            }
        }
        file.write(bytes, static_cast<std::streamsize>(n));
    });
}

void JsonSchemaFile::Reset() {}

JsonSchema* JsonSchemaFile::Clone() {
    return new JsonSchemaFile(_name.c_str(), "");
}

bool JsonSchemaFile::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_FILE, _key(withName), &_data);
}

bool JsonSchemaFile::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_FILE, _key(withName), &_data);
}
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
