// Tree view nodes and the transport-stream service tree document.
//
// A JsonTree is one node of the browser's tree view, written as
// {"label":...,"type":...,"value":...,"children":[...]}; a whole tree is one node holding
// others in "children", to any depth. Trees are written only: a tree node refuses to be read.
//
//   JsonTSServiceTree ts("TS1");
//   JsonTree* service = ts.CreateService("News", 1);
//   ts.AddPmtPid(service, 256);
//   ts.AddCaInfo(service, 0xB00);
//   ts.GenerateDocument("/tmp/services.json", nullptr);
//
// Not thread-safe: a tree is built and written by one thread at a time. Independent of other
// documents: a tree node refuses to be read, so its "children" array is never read, and writing
// uses no prototype.
#ifndef WEBJSON_JSON_TREE_H
#define WEBJSON_JSON_TREE_H

#include <string>

#include "json_document.h"
#include "json_list.h"
#include "json_schema.h"
#include "webjson_export.h"

class WEBJSON_API JsonTree : public DocumentAPI::JsonDocumentAPI::JsonSchemaList {
  public:
    // label, type and value are copied (null is taken as "") and are also what Reset brings
    // back. The node itself has the empty name, so it is written as a bare object.
    JsonTree(const char* label, const char* type, const char* value);
    ~JsonTree() override;

    // Changes the label or the value text (null is taken as ""). The type is fixed.
    void SetLabel(const char* text);
    void SetData(const char* text);
    // Appends child to "children", which takes ownership of it. A null child is ignored.
    void AddSubTreeNode(JsonTree* child);

    // A new node with empty texts and no children (nothing is copied); owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;
    // Refused, enabled or not: reads nothing, changes nothing and returns false.
    bool Format(DocumentAPI::JsonDocumentAPI::JsonReadDocument& reader, bool withName) override;

  protected:
    // Borrowed: these are the node's own members, owned by its list.
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _label;
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _type;
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _value;
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<JsonTree>* _subtree;
};

namespace DocumentAPI {
namespace JsonDocumentAPI {
// Lives in the library, so programs share its prototype and count of live arrays.
extern template class WEBJSON_API JsonSchemaArray<::JsonTree>;
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

// The services of an MPEG transport stream as a tree: the transport at the top, one node per
// service below it, and each service's provider, PIDs and conditional-access state below that.
// Numbers are written in decimal (PIDs are not range-checked); CA system ids in lower-case
// hexadecimal. Any JsonTree of the document may be the parent of the Add operations, which do
// nothing for a null parent. Reading fails (tree nodes refuse it) and, like any failed read,
// resets the tree: every service node is deleted, and pointers from CreateService with it.
class WEBJSON_API JsonTSServiceTree : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    // name: the transport's label, copied (null is taken as "").
    explicit JsonTSServiceTree(const char* name);
    ~JsonTSServiceTree() override;

    // The root node: label the transport name, type "transport", empty value.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;

    // Appends a service node ("#<number>"; label "Unknown Service" when name is null or "")
    // to the root and returns it; the tree keeps owning it.
    JsonTree* CreateService(const char* name, unsigned int number);
    // "Service Provider" with the provider's name as value (null is taken as ""). One
    // signature for char* and const char* alike, so a null provider is not ambiguous.
    void AddServiceProvider(JsonTree* parent, const char* provider);
    void AddPmtPid(JsonTree* parent, unsigned int pid);
    void AddPcrPid(JsonTree* parent, unsigned int pid);
    void AddVideoPid(JsonTree* parent, unsigned int pid);
    void AddAudioPid(JsonTree* parent, unsigned int pid);
    void AddPrivatePid(JsonTree* parent, unsigned int pid);
    // "Free" for 0, else "Encrypted (SystemID: 0x<hex>)".
    void AddCaInfo(JsonTree* parent, unsigned int systemId);

  protected:
    std::string _transport;
};

#endif  // WEBJSON_JSON_TREE_H
