// Internal: keeps exceptions inside the library's document operations.
#ifndef WEBJSON_JSON_GUARD_H
#define WEBJSON_JSON_GUARD_H

#include <ios>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

namespace DocumentAPI {
namespace JsonDocumentAPI {

// Runs body(); false when an exception came out of it, which is dropped. Thread cancellation
// still unwinds through.
template <typename Body>
bool Contain(Body&& body) {
    try {
        body();
        return true;
#if defined(__GLIBCXX__)
    } catch (abi::__forced_unwind&) {
        throw;
#endif
    } catch (...) {
        return false;
    }
}

// Runs body() on stream with the stream's exception mask cleared, so that the stream's own
// failures stay in its state bits, where the reader and writer look for them. An exception that
// still comes out of body (a failed allocation, a throwing node or mailbox) sets badbit and
// makes the result false. The caller's mask is put back before returning; putting back a mask
// whose bits are set throws at once, and that exception is dropped: the result and the state
// bits report the failure.
template <typename Body>
bool RunWithoutExceptions(std::ios& stream, Body&& body) {
    const std::ios::iostate mask = stream.exceptions();
    bool result = false;
    if (!Contain([&] {
            stream.exceptions(std::ios::goodbit);
            result = body();
        })) {
        stream.setstate(std::ios::badbit);
    }
    Contain([&] { stream.exceptions(mask); });
    return result;
}

// Runs one reading or writing step so that no exception leaves it. With an exception mask set on
// the stream, the step runs with the mask cleared (the stream's own failures then stay in its
// state bits) and the caller's mask is put back after it; an exception that still comes out (a
// buffer that throws, memory running out) ends the step as badbit and false.
template <typename Step>
bool GuardStep(std::ios& stream, Step&& step) {
    if (stream.exceptions() != std::ios::goodbit) return RunWithoutExceptions(stream, step);
    bool result = false;
    if (!Contain([&] { result = step(); })) stream.setstate(std::ios::badbit);
    return result;
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_GUARD_H
