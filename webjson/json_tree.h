/// \file
/// Tree view nodes and the transport-stream service tree document.
#ifndef WEBJSON_JSON_TREE_H
#define WEBJSON_JSON_TREE_H

#include <string>

#include "json_document.h"
#include "json_list.h"
#include "json_schema.h"
#include "webjson_export.h"

/// One node of the browser's tree view, with its children to any depth.
///
/// Written as `{"label":...,"type":...,"value":...,"children":[...]}`; a whole tree is one node
/// holding others in "children". A tree node is a node, not a document: it is written as part
/// of a document (JsonTSServiceTree is one whose root is a tree), by any document in place of
/// its own tree (`doc.GenerateDocument(path, &tree)`), or through a writer:
/// \code
/// JsonTree a("A", "service", "#1");
/// a.AddSubTreeNode(new JsonTree("B", "pmt", "256"));
/// std::ostringstream text;
/// JsonWriteDocument writer(text);
/// a.Compile(writer, false);   // false: no key in front of the object
/// // {"label":"A","type":"service","value":"#1","children":[{"label":"B","type":"pmt",
/// //  "value":"256","children":[]}]}
/// \endcode
///
/// Trees are written only: a tree node refuses to be read. Not thread-safe: a tree is built and
/// written by one thread at a time. Independent of other documents: its "children" array is
/// never read, and writing uses no prototype.
/// \ingroup views
class WEBJSON_API JsonTree : public DocumentAPI::JsonDocumentAPI::JsonSchemaList {
  public:
    /// A node without children.
    ///
    /// label, type and value are copied (null is taken as "") and are also what Reset brings
    /// back. The node itself has the empty name, so it is written as a bare object.
    JsonTree(const char* label, const char* type, const char* value);
    /// Deletes the node's members and children.
    ~JsonTree() override;

    /// Changes the label (null is taken as ""). The type is fixed.
    void SetLabel(const char* text);
    /// Changes the value text (null is taken as "").
    void SetData(const char* text);
    /// Appends child to "children", which takes ownership of it. A null child is ignored.
    void AddSubTreeNode(JsonTree* child);

    /// A new node with empty texts and no children (nothing is copied); owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;
    /// Refused, enabled or not: reads nothing, changes nothing and returns false.
    bool Format(DocumentAPI::JsonDocumentAPI::JsonReadDocument& reader, bool withName) override;

  protected:
    /// The member "label"; borrowed, owned by the node's list like the three below.
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _label;
    /// The member "type".
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _type;
    /// The member "value".
    DocumentAPI::JsonDocumentAPI::JsonSchemaString* _value;
    /// The member "children".
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<JsonTree>* _subtree;
};

namespace DocumentAPI {
namespace JsonDocumentAPI {
// Lives in the library, so programs share its prototype and count of live arrays.
extern template class WEBJSON_API JsonSchemaArray<::JsonTree>;
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

/// The services of an MPEG transport stream as a tree view document.
///
/// The transport is at the top, one node per service below it, and each service's provider,
/// PIDs and conditional-access state below that. Numbers are written in decimal (PIDs are not
/// range-checked); CA system ids in lower-case hexadecimal. Any JsonTree of the document may be
/// the parent of the Add operations, which do nothing for a null parent. Reading fails (tree
/// nodes refuse it) and, like any failed read, resets the tree: every service node is deleted,
/// and pointers from CreateService with it.
///
/// \code
/// JsonTSServiceTree ts("TS1");
/// JsonTree* service = ts.CreateService("News", 1);
/// ts.AddPmtPid(service, 256);
/// ts.AddCaInfo(service, 0xB00);
/// ts.GenerateDocument("services.json", nullptr);
/// // {"label":"TS1","type":"transport","value":"","children":[{"label":"News","type":"service",
/// //  "value":"#1","children":[{"label":"PMT PID","type":"pmt","value":"256","children":[]},
/// //  {"label":"CA Encryption","type":"","value":"Encrypted (SystemID: 0xb00)","children":[]}]}]}
/// \endcode
/// \ingroup views
class WEBJSON_API JsonTSServiceTree : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    /// A transport without services; name is the transport's label, copied (null is taken as
    /// "").
    explicit JsonTSServiceTree(const char* name);
    /// Deletes the tree.
    ~JsonTSServiceTree() override;

    /// The root node: label the transport name, type "transport", empty value.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;

    /// Appends a service node to the root and returns it (borrowed; the tree keeps owning it).
    ///
    /// Its type is "service" and its value `#<number>`; its label is name, or "Unknown Service"
    /// when name is null or "".
    JsonTree* CreateService(const char* name, unsigned int number);
    /// Appends to parent "Service Provider" (type "") with the provider's name as value (null
    /// is taken as "").
    ///
    /// One signature for `char*` and `const char*` alike, so a null provider is not ambiguous.
    void AddServiceProvider(JsonTree* parent, const char* provider);
    /// Appends to parent "PMT PID" (type "pmt") with the PID in decimal as its value.
    void AddPmtPid(JsonTree* parent, unsigned int pid);
    /// Appends to parent "PCR PID" (type "pcr") with the PID in decimal as its value.
    void AddPcrPid(JsonTree* parent, unsigned int pid);
    /// Appends to parent "Video PID" (type "video") with the PID in decimal as its value.
    void AddVideoPid(JsonTree* parent, unsigned int pid);
    /// Appends to parent "Audio PID" (type "audio") with the PID in decimal as its value.
    void AddAudioPid(JsonTree* parent, unsigned int pid);
    /// Appends to parent "Private PID" (type "point") with the PID in decimal as its value.
    void AddPrivatePid(JsonTree* parent, unsigned int pid);
    /// Appends to parent "CA Encryption" (type ""): "Free" for 0, else
    /// `Encrypted (SystemID: 0x<hex>)`.
    void AddCaInfo(JsonTree* parent, unsigned int systemId);

  protected:
    /// The transport's label, given at construction.
    std::string _transport;
};

#endif  // WEBJSON_JSON_TREE_H
