// Image scene, scene attributes and scene requests.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "core/detail/json_guard.h"
#include "core/detail/number_text.h"
#include "json_file.h"
#include "json_scene.h"
#include "json_scene_attribute.h"
#include "json_scene_request.h"
#include "param/detail/param_message.h"
#include "qm_agent.h"

using DocumentAPI::JsonDocumentAPI::Contain;
using DocumentAPI::JsonDocumentAPI::JsonDocumentSchema;
using DocumentAPI::JsonDocumentAPI::JsonReadDocument;
using DocumentAPI::JsonDocumentAPI::JsonSchema;
using DocumentAPI::JsonDocumentAPI::JsonSchemaArray;
using DocumentAPI::JsonDocumentAPI::JsonSchemaBool;
using DocumentAPI::JsonDocumentAPI::JsonSchemaFile;
using DocumentAPI::JsonDocumentAPI::JsonSchemaInt;
using DocumentAPI::JsonDocumentAPI::JsonSchemaList;
using DocumentAPI::JsonDocumentAPI::JsonSchemaString;
using DocumentAPI::JsonDocumentAPI::JsonWriteDocument;
namespace detail = DocumentAPI::JsonDocumentAPI::detail;
using DocumentAPI::JsonDocumentAPI::RunWithoutExceptions;

template class DocumentAPI::JsonDocumentAPI::JsonSchemaArray<JsonSceneAttribute>;

namespace {

using ObjectArray = JsonSchemaArray<JsonSchemaList>;

// An array of objects that takes part in the class-wide data as the scene's arrays always have
// (it counts in _ref; a prototype it offers is kept only when none is in force) but reads with
// a prototype of its own (owned; null skips every element), so that what the scene reads does
// not depend on the other arrays of objects the program has built.
class OwnReadingArray : public ObjectArray {
  public:
    OwnReadingArray(const char* name, JsonSchemaList* offered, JsonSchemaList* own)
        : ObjectArray(name, offered) {
        // Not kept: nobody else has it. Kept: it stays in force while this array lives.
        if (offered != nullptr && _registered() != offered) delete offered;
        _read_with(own);
    }
};

// The element of a scene request: {"name":"","value":""}.
JsonSchemaList* new_pair() {
    JsonSchemaList* pair = new JsonSchemaList("");
    pair->AddNew(new JsonSchemaString("name", ""));
    pair->AddNew(new JsonSchemaString("value", ""));
    return pair;
}

JsonSchemaList* as_list(JsonSchema* node) {
    return dynamic_cast<JsonSchemaList*>(node);
}

// The signed 32-bit value with the same bits, without relying on an out-of-range conversion.
int as_int32(unsigned int value) {
    uint32_t v = static_cast<uint32_t>(value);
    if (v <= static_cast<uint32_t>(INT32_MAX)) return static_cast<int>(v);
    return static_cast<int>(static_cast<int64_t>(v) - (int64_t{1} << 32));
}

const char* attr_word(JSceneAttr type) {
    switch (type) {
        case ATTR_INTEGER:
            return "integer";
        case ATTR_BOOLEAN:
            return "boolean";
        case ATTR_URL:
            return "url";
        case ATTR_ACTION:
            return "action";
        default:
            return "string";
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Scene attributes

JsonSceneAttribute::JsonSceneAttribute(const char* label, const char* category, JSceneAttr type,
                                       JsonSchema* value)
    : JsonSchemaList(""),
      _type(type),
      _value(nullptr),
      _action_type(ACTION_NONE),
      _action(nullptr) {
    AddNew(new JsonSchemaString("name", label));
    AddNew(new JsonSchemaString("label", label));
    AddNew(new JsonSchemaString("type", attr_word(type)));
    if (value != nullptr) {
        // The view posts the value node's own name back; the label stays the default.
        Set<const char*>("name", value->GetName().c_str());
        value->SetName("value");
        AddNew(value);
    } else {
        AddNew(new JsonSchemaString("value", ""));
    }
    AddNew(new JsonSchemaString("category", category));
    AddNew(new JsonSchemaBool("displayable", true));
    _action = new JsonSchemaList("action");
    _action->SetEnable(false);
    AddNew(_action);
    _value = value;
}

JsonSceneAttribute::~JsonSceneAttribute() {}

JsonSchema* JsonSceneAttribute::_own_child(JsonSchema* node) {
    if (node == nullptr) return nullptr;
    return std::find(_children.begin(), _children.end(), node) != _children.end() ? node : nullptr;
}

void JsonSceneAttribute::SetActionType(JSceneAction action) {
    _action_type = action;
    if (_own_child(_action) == nullptr) {
        _action = new JsonSchemaList("action");
        AddNew(_action);
    }
    _action->Clear();
    _action->SetEnable(true);

    JsonSchemaList* options = nullptr;
    switch (action) {
        case ACTION_TEXT:
            _action->AddNew(new JsonSchemaString("type", "text"));
            break;
        case ACTION_ENUM: {
            _action->AddNew(new JsonSchemaString("type", "enum"));
            options = new ObjectArray("options", nullptr);
            std::size_t count = std::min(values.size(), labels.size());
            for (std::size_t i = 0; i < count; ++i) {
                JsonSchemaList* option = new JsonSchemaList("");
                option->AddNew(new JsonSchemaString("value", as_int32(values[i])));
                option->AddNew(new JsonSchemaString("label", labels[i].c_str()));
                options->AddNew(option);
            }
            _action->AddNew(options);
            break;
        }
        case ACTION_CHECK:
            _action->AddNew(new JsonSchemaString("type", "check"));
            options = new ObjectArray("options", nullptr);
            for (const std::string& label : labels) {
                JsonSchemaList* option = new JsonSchemaList("");
                option->AddNew(new JsonSchemaString("state", "unchecked"));
                option->AddNew(new JsonSchemaString("value", label.c_str()));
                options->AddNew(option);
            }
            _action->AddNew(options);
            break;
        case ACTION_BUTTON:
            _action->AddNew(new JsonSchemaString("type", "button"));
            _action->AddNew(new JsonSchemaString("label", ""));
            break;
        case ACTION_APPLY:
            _action->AddNew(new JsonSchemaString("type", "apply"));
            break;
        case ACTION_SLIDER: {
            _action->AddNew(new JsonSchemaString("type", "slider"));
            _action->AddNew(new JsonSchemaInt("min", 0));
            _action->AddNew(new JsonSchemaInt("max", 1));
            _action->AddNew(new JsonSchemaString("unit", ""));
            // Written only once a caller enables them.
            static const struct {
                const char* name;
                int value;
            } extras[] = {{"shift", 0}, {"precision", 0}, {"nominator", 1}, {"denominator", 1}};
            for (const auto& extra : extras) {
                _action->AddNew(new JsonSchemaInt(extra.name, extra.value));
                _action->GetObject(extra.name)->SetEnable(false);
            }
            break;
        }
        default:
            _action->SetEnable(false);
            break;
    }
}

// The value itself is the position of the option marked, whatever its place in values.
void JsonSceneAttribute::_mark_checked() {
    JsonSchema* value = _own_child(_value);
    if (value == nullptr || _own_child(_action) == nullptr) return;
    int v = value->GetValueInt();
    if (std::find(values.begin(), values.end(), static_cast<uint32_t>(v)) == values.end()) return;
    JsonSchemaList* options = as_list(_action->GetObject("options"));
    if (options == nullptr || v < 0) return;
    if (JsonSchemaList* option = as_list(options->GetObject(static_cast<unsigned int>(v)))) {
        option->Set<const char*>("state", "checked");
    }
}

bool JsonSceneAttribute::Compile(JsonWriteDocument& writer, bool withName) {
    if (_action_type == ACTION_CHECK) _mark_checked();
    return JsonSchemaList::Compile(writer, withName);
}

JsonSchema* JsonSceneAttribute::Clone() {
    JsonSchema* value = _own_child(_value);
    return new JsonSceneAttribute("", "", _type, value ? value->Clone() : nullptr);
}

// ---------------------------------------------------------------------------------------------
// Scene requests

namespace {

bool is_hex_digit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

unsigned int hex_value(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned int>(c - 'a' + 10);
    return static_cast<unsigned int>(c - 'A' + 10);
}

// One hexadecimal number of an id text, as "%X" reads it, from text[pos] up to end: optional
// white space, sign and "0x" prefix, then at least one digit. Advances pos past the number.
bool parse_hex(const std::string& text, std::size_t& pos, std::size_t end, uint32_t& out) {
    std::size_t p = pos;
    while (p < end && std::isspace(static_cast<unsigned char>(text[p])))
        ++p;
    bool negative = false;
    if (p < end && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    // A "0x" prefix is taken whole even when no digit follows; the number is then 0, as the
    // device's scanf reads it.
    const bool prefix = p + 1 < end && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X');
    if (prefix) p += 2;
    if (!prefix && (p >= end || !is_hex_digit(text[p]))) return false;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; p < end && is_hex_digit(text[p]); ++p) {
        magnitude = magnitude * 16 + hex_value(text[p]);
        if (magnitude > UINT32_MAX) {
            overflow = true;
            magnitude = UINT32_MAX;
        }
    }
    uint32_t value = static_cast<uint32_t>(magnitude);
    if (overflow) {
        value = UINT32_MAX;
    } else if (negative) {
        value = static_cast<uint32_t>(0u - value);
    }
    out = value;
    pos = p;
    return true;
}

// A parameter id text: six numbers (mid, param, four index words) and the type letter.
struct ParamId {
    uint32_t number[6];
    char letter;
};

bool parse_param_id(const std::string& name, ParamId& id) {
    // A final lower-case b is the letter, whatever stands between it and the sixth number,
    // which must not swallow it as a hex digit.
    const bool final_b = !name.empty() && name.back() == 'b';
    const std::size_t end = final_b ? name.size() - 1 : name.size();
    std::size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= end || name[pos] != '.') return false;
            ++pos;
        }
        if (!parse_hex(name, pos, end, id.number[i])) return false;
    }
    if (final_b) {
        id.letter = 'b';
    } else if (pos < end) {
        id.letter = name[pos];
    } else {
        return false;
    }
    return true;
}

}  // namespace

JsonSceneRequest::JsonSceneRequest() : _attributes(nullptr) {
    _root = JsonSceneRequest::BuildSchema();
}

JsonSceneRequest::~JsonSceneRequest() {}

JsonSchemaList* JsonSceneRequest::BuildSchema() {
    JsonSchemaList* root = new JsonSchemaList("");
    _attributes = new OwnReadingArray("attributes", new_pair(), new_pair());
    root->AddNew(_attributes);
    return root;
}

bool JsonSceneRequest::ProcessDocumentStream(std::istream&, JsonSchemaList*) {
    _fail("this document does not read posts");
    return false;
}

JsonSceneRequestVsysCtrl::JsonSceneRequestVsysCtrl() {}

JsonSceneRequestVsysCtrl::~JsonSceneRequestVsysCtrl() {}

bool JsonSceneRequestVsysCtrl::ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) {
    bool result = JsonDocumentSchema::ProcessDocumentStream(stream, list);
    // Running out of memory or a mailbox that throws while the pairs are sent ends as a failed
    // read; the pairs sent until then stay sent.
    const bool handled = RunWithoutExceptions(stream, [&] {
        for (unsigned int i = 0; i < _attributes->Size(); ++i) {
            JsonSchemaList* pair = as_list(_attributes->GetObject(i));
            if (pair == nullptr) continue;
            std::string name = pair->GetString("name");
            std::string value = pair->GetString("value");
            ParamId id;
            if (value.empty() || !parse_param_id(name, id)) continue;

            uint32_t length = 0;
            void* data = nullptr;
            int32_t number = 0;
            switch (id.letter) {
                case 'i':
                    number = detail::decimal_to_int32(value.c_str());
                    length = sizeof number;
                    data = &number;
                    break;
                case 's':
                    length = static_cast<uint32_t>(std::strlen(value.c_str()) + 1);
                    data = &value[0];
                    break;
                case 'b':
                    if (value == "true") {
                        number = 1;
                    } else if (value != "false") {
                        continue;
                    }
                    length = sizeof number;
                    data = &number;
                    break;
                default:
                    continue;
            }
            const int32_t status = detail::send_param_message(id.number[0] | 0x800Bu, id.number[1],
                                                              &id.number[2], length, data);
            if (status < 0) {
                if (result) {
                    const std::string subject = name + " with status " + std::to_string(status);
                    _fail("the control server answered ", subject.c_str());
                    _error.path = "attributes[" + std::to_string(i) + "]";
                }
                result = false;
            }
        }
        return true;
    });
    if (!handled) {
        // Said as the document's read says it, unless an earlier failure was kept.
        if (result) _fail("the read was stopped by an exception");
        Contain([] { std::cout << "Format Document failed" << std::endl; });
        _reset_schema(list);
    }
    return result && handled;
}

// ---------------------------------------------------------------------------------------------
// Image scene

JsonScene::JsonScene(const char* scenePosition, int sceneWidth, int sceneHeight,
                     const char* areaPosition, int areaWidth, int areaHeight)
    : _images(nullptr),
      _area(nullptr),
      _scene(nullptr),
      _parts(nullptr),
      _mode(SCENE_FULL),
      _request(nullptr) {
    _root = JsonScene::BuildSchema();
    _scene->Set<const char*>("position", scenePosition);
    _scene->Set<int>("width", sceneWidth);
    _scene->Set<int>("height", sceneHeight);
    _area->Set<const char*>("position", areaPosition);
    _area->Set<int>("width", areaWidth);
    _area->Set<int>("height", areaHeight);
    _request = new JsonSceneRequestVsysCtrl();
}

JsonScene::~JsonScene() {
    delete _request;
    _request = nullptr;
}

JsonSchemaList* JsonScene::BuildSchema() {
    JsonSchemaList* root = new JsonSchemaList("");
    // Read as null-prototype arrays with nothing registered: every element is skipped.
    _images = new OwnReadingArray("images", nullptr, nullptr);
    root->AddNew(_images);

    _area = new JsonSchemaList("attributes");
    _area->AddNew(new JsonSchemaString("position", "left"));
    _area->AddNew(new JsonSchemaInt("width", 0));
    _area->AddNew(new JsonSchemaInt("height", 0));
    root->AddNew(_area);

    _scene = new JsonSchemaList("scene");
    _scene->AddNew(new JsonSchemaString("position", "left"));
    _scene->AddNew(new JsonSchemaInt("width", 0));
    _scene->AddNew(new JsonSchemaInt("height", 0));
    JsonSchemaList* selection = new JsonSchemaList("selection");
    selection->AddNew(new JsonSchemaString("type", "border"));
    _scene->AddNew(selection);
    _parts = new OwnReadingArray("parts", nullptr, nullptr);
    _scene->AddNew(_parts);
    root->AddNew(_scene);
    return root;
}

bool JsonScene::ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) {
    if (_mode == SCENE_REQUEST) {
        if (_request == nullptr) {
            _fail("the scene has no request to read posts into");
            return false;
        }
        const bool result = _request->ProcessDocumentStream(stream, nullptr);
        if (!Contain([&] { _error = _request->LastError(); }))
            _fail(result ? "" : "the read failed");
        return result;
    }
    return JsonDocumentSchema::ProcessDocumentStream(stream, list);
}

void JsonScene::SetMode(JSceneMode mode) {
    _mode = mode;
    bool request = mode == SCENE_REQUEST;
    _images->SetEnable(mode != SCENE_NO_IMAGES && !request);
    _area->SetEnable(!request);
    _scene->SetEnable(!request);
    _parts->SetEnable(!request);
}

void JsonScene::SetRequestSchema(JsonSceneRequest* request) {
    if (request == _request) return;
    delete _request;
    _request = request;
}

JsonSchemaList* JsonScene::CreateImage(const char* id, const char* path, const char* type,
                                       unsigned int width, unsigned int height) {
    JsonSchemaList* image = new JsonSchemaList("");
    image->AddNew(new JsonSchemaString("id", id));
    if (path != nullptr) image->AddNew(new JsonSchemaFile("data", path));
    if (type != nullptr) image->AddNew(new JsonSchemaString("type", type));
    image->AddNew(new JsonSchemaInt("width", as_int32(width)));
    image->AddNew(new JsonSchemaInt("height", as_int32(height)));
    _images->AddNew(image);
    return image;
}

JsonSchemaList* JsonScene::CreateImageURL(const char* id, const char* url, const char* type,
                                          unsigned int width, unsigned int height) {
    JsonSchemaList* image = new JsonSchemaList("");
    image->AddNew(new JsonSchemaString("id", id));
    image->AddNew(new JsonSchemaString("url", url));
    image->AddNew(new JsonSchemaString("type", type));
    image->AddNew(new JsonSchemaInt("width", as_int32(width)));
    image->AddNew(new JsonSchemaInt("height", as_int32(height)));
    _images->AddNew(image);
    return image;
}

JsonSchemaList* JsonScene::CreatePart(const char* image, const char* label, unsigned int x,
                                      unsigned int y, unsigned int z) {
    // Null texts are taken as "" here as everywhere else in the scene.
    if (image == nullptr) image = "";
    if (label == nullptr) label = "";
    std::string id = std::string("div_") + image + "_" + label;
    JsonSchemaList* part = new JsonSchemaList("");
    part->AddNew(new JsonSchemaString("id", id.c_str()));
    part->AddNew(new JsonSchemaString("label", label));
    part->AddNew(new JsonSchemaString("type", "region"));
    part->AddNew(new JsonSchemaString("image", image));

    JsonSchemaList* position = new JsonSchemaList("position");
    position->AddNew(new JsonSchemaInt("x", as_int32(x)));
    position->AddNew(new JsonSchemaInt("y", as_int32(y)));
    position->AddNew(new JsonSchemaInt("z", as_int32(z)));
    part->AddNew(position);

    JsonSchemaList* status = new JsonSchemaList("status");
    status->AddNew(new JsonSchemaString("severity", "none"));
    status->AddNew(new JsonSchemaString("label", ""));
    part->AddNew(status);

    part->AddNew(new JsonSchemaArray<JsonSceneAttribute>("attributes", nullptr));
    _parts->AddNew(part);
    return part;
}

JsonSchemaList* JsonScene::CreatePart(JsonSchemaList* image, const char* label, unsigned int x,
                                      unsigned int y, unsigned int z) {
    // Copied: the text belongs to a node that could change while the part is built.
    std::string id = image != nullptr ? image->GetString("id") : "";
    return CreatePart(id.c_str(), label, x, y, z);
}

JsonSceneAttribute* JsonScene::CreateAttribute(JsonSchemaList* part, const char* category,
                                               const char* label, JSceneAttr type,
                                               JsonSchema* value) {
    JsonSceneAttribute* attribute = new JsonSceneAttribute(label, category, type, value);
    JsonSchemaList* attributes = part != nullptr ? as_list(part->GetObject("attributes")) : nullptr;
    if (attributes == nullptr) {
        delete attribute;
        return nullptr;
    }
    attributes->AddNew(attribute);
    return attribute;
}

void JsonScene::CreateNewAttributeTables(JsonSchemaList* list) {
    if (list != nullptr)
        list->AddNew(new JsonSchemaArray<JsonSceneAttribute>("attribute-tables", nullptr));
}

void JsonScene::AddAttributeTablesItms(JsonSchemaList* list, const char* category,
                                       const char* layout, int columns, char** names, int nameCount,
                                       width_map* widths, int widthCount) {
    JsonSchemaList* tables =
        list != nullptr ? as_list(list->GetObject("attribute-tables")) : nullptr;
    if (tables == nullptr) return;

    JsonSchemaList* item = new JsonSchemaList("");
    JsonSchemaList* layoutObject = new JsonSchemaList("layout");
    layoutObject->AddNew(new JsonSchemaString("type", layout));

    JsonSchemaList* columnsObject = new JsonSchemaList("columns");
    columnsObject->AddNew(new JsonSchemaInt("count", columns));
    JsonSchemaList* style = new JsonSchemaList("style");
    JsonSchemaList* width = new JsonSchemaList("width");
    for (int i = 0; i < widthCount; ++i) {
        width->AddNew(new JsonSchemaString(widths[i].key, widths[i].width));
    }
    style->AddNew(width);
    columnsObject->AddNew(style);
    layoutObject->AddNew(columnsObject);

    JsonSchemaList* rows = new JsonSchemaList("rows");
    JsonSchemaArray<JsonSchemaString>* rowNames =
        new JsonSchemaArray<JsonSchemaString>("names", nullptr);
    for (int i = 0; i < nameCount; ++i)
        rowNames->AddNew(new JsonSchemaString("", names[i]));
    rows->AddNew(rowNames);
    layoutObject->AddNew(rows);

    item->AddNew(new JsonSchemaString("category", category));
    item->AddNew(layoutObject);
    tables->AddNew(item);
}
