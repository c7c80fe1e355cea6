// Tree view nodes and the transport-stream service tree.
#include "json_tree.h"

#include <cstdio>
#include <string>

using DocumentAPI::JsonDocumentAPI::JsonReadDocument;
using DocumentAPI::JsonDocumentAPI::JsonSchema;
using DocumentAPI::JsonDocumentAPI::JsonSchemaArray;
using DocumentAPI::JsonDocumentAPI::JsonSchemaList;
using DocumentAPI::JsonDocumentAPI::JsonSchemaString;

namespace {

const char* text_or_empty(const char* text) {
    return text ? text : "";
}

// Numbers as in the C locale, whatever locale the program set: printf groups no digits.
std::string decimal(unsigned int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", number);
    return text;
}

}  // namespace

template class DocumentAPI::JsonDocumentAPI::JsonSchemaArray<JsonTree>;

JsonTree::JsonTree(const char* label, const char* type, const char* value)
    : JsonSchemaList(""),
      _label(new JsonSchemaString("label", text_or_empty(label))),
      _type(new JsonSchemaString("type", text_or_empty(type))),
      _value(new JsonSchemaString("value", text_or_empty(value))),
      _subtree(new JsonSchemaArray<JsonTree>("children", nullptr)) {
    AddNew(_label);
    AddNew(_type);
    AddNew(_value);
    AddNew(_subtree);
}

JsonTree::~JsonTree() {}

void JsonTree::SetLabel(const char* text) {
    _label->SetValue(text_or_empty(text));
}

void JsonTree::SetData(const char* text) {
    _value->SetValue(text_or_empty(text));
}

void JsonTree::AddSubTreeNode(JsonTree* child) {
    _subtree->AddNew(child);
}

JsonSchema* JsonTree::Clone() {
    return new JsonTree("", "", "");
}

bool JsonTree::Format(JsonReadDocument&, bool) {
    return false;
}

JsonTSServiceTree::JsonTSServiceTree(const char* name) : _transport(text_or_empty(name)) {
    _root = BuildSchema();
}

JsonTSServiceTree::~JsonTSServiceTree() {}

JsonSchemaList* JsonTSServiceTree::BuildSchema() {
    return new JsonTree(_transport.c_str(), "transport", "");
}

JsonTree* JsonTSServiceTree::CreateService(const char* name, unsigned int number) {
    auto* service = new JsonTree(text_or_empty(name), "service", "");
    service->SetData(("#" + decimal(number)).c_str());
    if (name == nullptr || name[0] == '\0') service->SetLabel("Unknown Service");
    // The root is always the JsonTree built by this class's BuildSchema.
    static_cast<JsonTree*>(_root)->AddSubTreeNode(service);
    return service;
}

void JsonTSServiceTree::AddServiceProvider(JsonTree* parent, const char* provider) {
    if (parent) parent->AddSubTreeNode(new JsonTree("Service Provider", "", provider));
}

void JsonTSServiceTree::AddPmtPid(JsonTree* parent, unsigned int pid) {
    if (parent) parent->AddSubTreeNode(new JsonTree("PMT PID", "pmt", decimal(pid).c_str()));
}

void JsonTSServiceTree::AddPcrPid(JsonTree* parent, unsigned int pid) {
    if (parent) parent->AddSubTreeNode(new JsonTree("PCR PID", "pcr", decimal(pid).c_str()));
}

void JsonTSServiceTree::AddVideoPid(JsonTree* parent, unsigned int pid) {
    if (parent) parent->AddSubTreeNode(new JsonTree("Video PID", "video", decimal(pid).c_str()));
}

void JsonTSServiceTree::AddAudioPid(JsonTree* parent, unsigned int pid) {
    if (parent) parent->AddSubTreeNode(new JsonTree("Audio PID", "audio", decimal(pid).c_str()));
}

void JsonTSServiceTree::AddPrivatePid(JsonTree* parent, unsigned int pid) {
    if (parent) {
        parent->AddSubTreeNode(new JsonTree("Private PID", "point", decimal(pid).c_str()));
    }
}

void JsonTSServiceTree::AddCaInfo(JsonTree* parent, unsigned int systemId) {
    if (parent == nullptr) return;
    char text[40] = "Free";
    if (systemId != 0) std::snprintf(text, sizeof text, "Encrypted (SystemID: 0x%x)", systemId);
    parent->AddSubTreeNode(new JsonTree("CA Encryption", "", text));
}
