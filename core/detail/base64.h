// Internal: Base64 text of a file's bytes, and back.
#ifndef WEBJSON_DETAIL_BASE64_H
#define WEBJSON_DETAIL_BASE64_H

#include <cstddef>
#include <vector>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

inline constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of one Base64 character; 64 (the pad marker) for "=" and anything outside the alphabet.
inline unsigned int base64_value(char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26u;
    if (c >= '0' && c <= '9') return c - '0' + 52u;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 64;
}

// Appends the Base64 text of the bytes it is given to a vector, three bytes at a time; Finish
// writes the last, padded, group.
class Base64Encoder {
  public:
    explicit Base64Encoder(std::vector<char>& text) : _text(text) {}
    void Add(unsigned char byte) {
        _b[_k++] = byte;
        if (_k == 3) Emit();
    }
    void Finish() {
        if (_k > 0) Emit();
    }

  private:
    void Emit() {
        _text.push_back(kBase64Alphabet[_b[0] >> 2]);
        _text.push_back(kBase64Alphabet[((_b[0] & 0x03) << 4) | (_b[1] >> 4)]);
        _text.push_back(_k >= 2 ? kBase64Alphabet[((_b[1] & 0x0F) << 2) | (_b[2] >> 6)] : '=');
        _text.push_back(_k == 3 ? kBase64Alphabet[_b[2] & 0x3F] : '=');
        _b[0] = _b[1] = _b[2] = 0;
        _k = 0;
    }

    std::vector<char>& _text;
    unsigned int _b[3] = {0, 0, 0};
    unsigned int _k = 0;
};

// The bytes of one group of four Base64 values (64 marks a pad) stored at out; returns how
// many (one to three).
inline std::size_t base64_decode_group(const unsigned int q[4], char* out) {
    std::size_t n = 0;
    out[n++] = static_cast<char>(((q[0] << 2) | ((q[1] >> 4) & 0x03)) & 0xFF);
    if (q[2] != 64) out[n++] = static_cast<char>(((q[1] << 4) | (q[2] >> 2)) & 0xFF);
    if (q[3] != 64) out[n++] = static_cast<char>(((q[2] << 6) | q[3]) & 0xFF);
    return n;
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_BASE64_H
