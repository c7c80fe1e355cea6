// Drives the token reader directly. The input's first byte n gives the number of operations,
// the next n bytes choose them, and the rest is the text read. Each operation byte:
//   bits 0-3: 0 to 10 the token handed to Deserialize, 11 Peek for "}", 12 Peek for "]",
//             13 to 15 a token the reader does not know;
//   0x10:     the item is expected under the key "k";
//   0x20:     no value pointer.
// Checked: the result is the stream's state; a failed stream stays failed and is not read;
// Peek consumes whitespace only; every string, integer and boolean read comes back unchanged
// through the writer and a fresh reader, and the writer leaves no control character raw.
#include <sstream>
#include <string>
#include <vector>

#include <webjson/json_stream.h>

#include "fuzz_support.h"

namespace {

using namespace DocumentAPI::JsonDocumentAPI;

struct Value {
    unsigned int token;
    std::string text;
    int number = 0;
    bool flag = false;
};

std::streamoff Position(std::istream& in) {
    return in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Writes the values as one array, reads them back with a fresh reader and compares.
void CheckRoundTrip(std::vector<Value>& values) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    std::string none;
    FUZZ_CHECK(writer.Serialize(JSON_ARRAY_BEGIN, none, nullptr));
    for (Value& v : values) {
        void* p = v.token == JSON_INT    ? static_cast<void*>(&v.number)
                  : v.token == JSON_BOOL ? static_cast<void*>(&v.flag)
                                         : static_cast<void*>(&v.text);
        FUZZ_CHECK(writer.Serialize(v.token, none, p));
    }
    FUZZ_CHECK(writer.Serialize(JSON_ARRAY_END, none, nullptr));
    for (char c : out.str())
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);  // all escaped

    std::istringstream in(out.str() + " ");  // a space so the last item does not end the text
    JsonReadDocument reader(in);
    FUZZ_CHECK(reader.Deserialize(JSON_ARRAY_BEGIN, none, nullptr));
    for (const Value& v : values) {
        Value back;
        void* p = v.token == JSON_INT    ? static_cast<void*>(&back.number)
                  : v.token == JSON_BOOL ? static_cast<void*>(&back.flag)
                                         : static_cast<void*>(&back.text);
        FUZZ_CHECK(!reader.Peek(JSON_ARRAY_END));
        FUZZ_CHECK(reader.Deserialize(v.token, none, p));
        FUZZ_CHECK(back.text == v.text && back.number == v.number && back.flag == v.flag);
    }
    FUZZ_CHECK(reader.Peek(JSON_ARRAY_END));
    FUZZ_CHECK(reader.Deserialize(JSON_ARRAY_END, none, nullptr));
}

}  // namespace

int FuzzTokens(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t count = data[0] < size - 1 ? data[0] : size - 1;
    const uint8_t* ops = data + 1;
    const std::string text(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);

    std::istringstream in(text);
    JsonReadDocument reader(in);
    std::string key = "k";
    std::string none;
    std::vector<Value> values;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned int kind = ops[i] & 0x0Fu;
        const bool wasGood = in.good();
        const std::streamoff before = Position(in);

        if (kind == 11 || kind == 12) {
            const unsigned int token = kind == 11 ? JSON_OBJECT_END : JSON_ARRAY_END;
            const bool found = reader.Peek(token);
            FUZZ_CHECK(wasGood || !found);
            const std::streamoff after = Position(in);
            for (std::streamoff at = before; at < after; ++at) {
                FUZZ_CHECK(IsSpace(text[static_cast<std::size_t>(at)]));
            }
            if (found) {
                FUZZ_CHECK(text[static_cast<std::size_t>(after)] == (kind == 11 ? '}' : ']'));
            }
            continue;
        }

        const unsigned int token = kind <= JSON_SKIP ? kind : 11 + (kind - 13) * 1000;
        Value v;
        v.token = token;
        void* value = nullptr;
        if ((ops[i] & 0x20u) == 0) {
            if (token == JSON_INT) value = &v.number;
            if (token == JSON_BOOL) value = &v.flag;
            if (token == JSON_STRING || token == JSON_KEY) value = &v.text;
        }
        const bool result = reader.Deserialize(token, (ops[i] & 0x10u) ? key : none, value);
        FUZZ_CHECK(result == in.good());
        if (!wasGood) FUZZ_CHECK(!result && Position(in) == before);
        if (token == JSON_FILE || token > JSON_SKIP) FUZZ_CHECK(!result);
        if (result && value != nullptr) {
            if (token == JSON_KEY) v.token = JSON_STRING;
            values.push_back(v);
        }
    }
    CheckRoundTrip(values);
    return 0;
}
