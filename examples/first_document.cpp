// A document class of the caller's own: build the tree, write it to a file, read it back.
//
// Usage: first_document [PATH]   (default: first_document.json in the current directory)
#include <cstdio>
#include <iostream>
#include <memory>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

// {"device":"...","uptime":s,"temperature":d,"online":b,"ports":[{"name":"...","speed":n},...]}
class DeviceStatus : public JsonDocumentSchema {
  public:
    DeviceStatus() { _root = BuildSchema(); }

    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaString("device", ""));
        root->AddNew(new JsonSchemaInt("uptime", 0));
        root->AddNew(new JsonSchemaDouble("temperature", 0.0, 4));
        root->AddNew(new JsonSchemaBool("online", false));
        // Reading makes one copy of this prototype per element of "ports". The array owns it
        // and reads with it, whatever other arrays of objects the program has built.
        auto port = std::make_unique<JsonSchemaList>("");
        port->AddNew(new JsonSchemaString("name", ""));
        port->AddNew(new JsonSchemaInt("speed", 0));
        _ports = new JsonSchemaArray<JsonSchemaList>("ports", std::move(port));
        root->AddNew(_ports);
        return root;
    }

    void AddPort(const char* name, int speed) {
        auto* port = new JsonSchemaList("");
        port->AddNew(new JsonSchemaString("name", name));
        port->AddNew(new JsonSchemaInt("speed", speed));
        _ports->AddNew(port);
    }

    JsonSchemaList& Root() { return *_root; }
    JsonSchemaArray<JsonSchemaList>& Ports() { return *_ports; }

  private:
    JsonSchemaArray<JsonSchemaList>* _ports = nullptr;  // owned by the tree
};

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "first_document.json";

    DeviceStatus status;
    status.Root().Set("device", "encoder-7");
    status.Root().Set("uptime", 86400);
    status.Root().GetObject("temperature")->SetValue(41.25);
    status.Root().GetObject("online")->SetValue(true);
    status.AddPort("eth0", 1000);
    status.AddPort("eth1", 100);
    if (!status.GenerateDocument(path, nullptr)) return 1;
    std::cout << "wrote " << path << ": ";
    status.GenerateDocumentStream(std::cout, nullptr);
    std::cout << "\n";

    DeviceStatus copy;
    if (!copy.ProcessDocument(path, nullptr)) return 1;
    std::cout << "read back: device " << copy.Root().GetString("device") << ", "
              << copy.Ports().Size() << " ports, first "
              << copy.Ports().GetArray(0)->GetString("name") << " at "
              << copy.Ports().GetArray(0)->GetObject("speed")->GetValueInt() << " Mbit/s\n";
    return 0;
}
