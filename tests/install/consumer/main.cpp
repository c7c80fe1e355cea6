// Defines a document of its own through the umbrella header, reads a text and writes it back, and
// checks that headers, library and package (argv[1], when given) give the same version.
#include <webjson/webjson.h>

#include <iostream>
#include <sstream>
#include <string>

using namespace DocumentAPI::JsonDocumentAPI;

class Reading : public JsonDocumentSchema {
  public:
    Reading() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaString("sensor", "t1"));
        root->AddNew(new JsonSchemaInt("value", 0));
        root->AddNew(new JsonSchemaArray<JsonSchemaInt>("history", new JsonSchemaInt("", 0)));
        return root;
    }
};

int main(int argc, char** argv) {
    const std::string version = std::to_string(WEBJSON_VERSION_MAJOR) + "." +
                                std::to_string(WEBJSON_VERSION_MINOR) + "." +
                                std::to_string(WEBJSON_VERSION_PATCH);
    if (version != WebjsonVersion() || (argc > 1 && version != argv[1])) return 4;
    std::istringstream text(R"({"sensor":"t2","value":21,"history":[3,-4]})");
    Reading doc;
    if (!doc.ProcessDocumentStream(text, nullptr)) return 2;
    std::ostringstream again;
    if (!doc.GenerateDocumentStream(again, nullptr)) return 1;
    std::cout << again.str() << "\n";
    return again.str() == text.str() ? 0 : 3;
}
