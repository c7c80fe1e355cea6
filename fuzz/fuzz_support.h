// What the fuzz targets share: their entry points, a check that stops the run with a message,
// and a capture of the console the library prints its failure lines to.
#ifndef WEBJSON_FUZZ_SUPPORT_H
#define WEBJSON_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

// Each target reads one input and returns 0; a broken rule aborts. libFuzzer calls them
// through entry.cpp; the regression tests call them directly.
int FuzzDocument(const uint8_t* data, std::size_t size);
int FuzzTokens(const uint8_t* data, std::size_t size);
int FuzzSceneRequest(const uint8_t* data, std::size_t size);

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace fuzzing {

// Everything written to std::cout while it lives.
class Console {
  public:
    Console() : _old(std::cout.rdbuf(_text.rdbuf())) {}
    ~Console() { std::cout.rdbuf(_old); }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    std::string Take() {
        std::string text = _text.str();
        _text.str("");
        return text;
    }

  private:
    std::ostringstream _text;
    std::streambuf* _old;
};

inline bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace fuzzing

#endif  // WEBJSON_FUZZ_SUPPORT_H
