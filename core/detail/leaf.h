// Internal: the leaf nodes the writer takes in runs, straight from their fields.
#ifndef WEBJSON_DETAIL_LEAF_H
#define WEBJSON_DETAIL_LEAF_H

#include <typeinfo>

#include "json_schema.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

enum class Leaf { kNone, kString, kInt, kBool, kDouble };

// The kind of node when it is an integer, boolean, double or string node of the library's class
// itself (whose Compile is the library's own), else kNone. The classes' type information is the
// library's own object: comparing addresses is enough.
inline Leaf leaf_of(const JsonSchema* node) {
    if (node == nullptr) return Leaf::kNone;
    const std::type_info* type = &typeid(*node);
    if (type == &typeid(JsonSchemaString)) return Leaf::kString;
    if (type == &typeid(JsonSchemaInt)) return Leaf::kInt;
    if (type == &typeid(JsonSchemaBool)) return Leaf::kBool;
    if (type == &typeid(JsonSchemaDouble)) return Leaf::kDouble;
    return Leaf::kNone;
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_LEAF_H
