// Reuse of text nodes by the library's documents (internal to the library).
#ifndef WEBJSON_NODE_REUSE_H
#define WEBJSON_NODE_REUSE_H

#include <cstddef>
#include <vector>

#include "json_list.h"
#include "json_schema.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

// Moves the children of list that are plain text nodes named name into spares, leaving null in
// their places.
void TakeTextNodes(JsonSchemaList& list, const char* name, std::vector<JsonSchema*>& spares);
// The children of list, to append to without AddNew's call where room is reserved.
std::vector<JsonSchema*>& ChildrenOf(JsonSchemaList& list);
// Makes a node taken so like a new JsonSchemaString(name, text).
void RenewTextNode(JsonSchema& node, const char* name, const char* text);

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_NODE_REUSE_H
