// Defines a document of its own through the umbrella header, writes it and reads it back, and
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
        auto* history = new JsonSchemaArray<JsonSchemaInt>("history", new JsonSchemaInt("", 0));
        history->AddNew(new JsonSchemaInt("", 3));
        root->AddNew(history);
        return root;
    }
    JsonSchemaList* Root() { return _root; }
};

int main(int argc, char** argv) {
    const std::string version = std::to_string(WEBJSON_VERSION_MAJOR) + "." +
                                std::to_string(WEBJSON_VERSION_MINOR) + "." +
                                std::to_string(WEBJSON_VERSION_PATCH);
    if (version != WebjsonVersion() || (argc > 1 && version != argv[1])) return 4;
    Reading out;
    out.Root()->Set("value", 21);
    std::stringstream text;
    if (!out.GenerateDocumentStream(text, nullptr)) return 1;
    Reading in;
    if (!in.ProcessDocumentStream(text, nullptr)) return 2;
    std::ostringstream again;
    in.GenerateDocumentStream(again, nullptr);
    std::cout << again.str() << "\n";
    return again.str() == R"({"sensor":"t1","value":21,"history":[3]})" ? 0 : 3;
}
