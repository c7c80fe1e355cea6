// Image scene: images with parts placed on them, the parts' attributes and attribute tables,
// and the layout of the view's scene and attributes areas.
#ifndef WEBJSON_JSON_SCENE_H
#define WEBJSON_JSON_SCENE_H

#include <cstdint>
#include <istream>

#include "json_document.h"
#include "json_list.h"
#include "json_scene_attribute.h"
#include "json_scene_request.h"
#include "webjson_export.h"

// One column width of an attribute table: member key and width text. Not owned.
struct width_map {
    const char* key;
    const char* width;
};

// The scene document:
//   {"images":[..],"attributes":{"position","width","height"},
//    "scene":{"position","width","height","selection":{"type":"border"},"parts":[..]}}
// Parts: {"id":"div_<image>_<label>","label","type":"region","image","position":{"x","y","z"},
//         "status":{"severity":"none","label":""},"attributes":[..][,"attribute-tables":[..]]}
//
// The mode decides what is written and where a processed document goes: SCENE_NO_IMAGES leaves
// out "images"; SCENE_REQUEST writes {} and hands processed text to the request document (by
// default a JsonSceneRequestVsysCtrl, owned by the scene). Processing in the other modes reads
// the scene's own tree, which first empties images and parts; their elements are skipped.
//
// Nothing the scene writes or reads depends on other documents or arrays of the program: its
// "images" and "parts" count in the class-wide data of arrays of object nodes (with a null
// prototype) but never read with the class-wide prototype.
//
// Choices for unusual calls:
// - SetRequestSchema with the request document the scene already holds keeps it (no delete).
// - AddAttributeTablesItms on an object without an "attribute-tables" array (or on null)
//   builds nothing and changes nothing.
// - CreateAttribute and CreateNewAttributeTables on null delete what they would add.
class WEBJSON_API JsonScene : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    // Any other value writes and processes as SCENE_FULL.
    enum JSceneMode : uint32_t {
        SCENE_FULL = 0,
        SCENE_NO_IMAGES = 1,
        SCENE_REQUEST = 2,
    };

    // Texts are copied and must not be null.
    JsonScene(const char* scenePosition, int sceneWidth, int sceneHeight, const char* areaPosition,
              int areaWidth, int areaHeight);
    // Deletes the request document, then the tree.
    ~JsonScene() override;

    // Builds the tree; called by the constructor only.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;
    // SCENE_REQUEST: the request document's processing (list is not passed on), or false
    // without reading when there is none. Other modes: the tree's own processing.
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;

    // Stores mode and enables or disables images, attributes area, scene and parts for it.
    void SetMode(JSceneMode mode);
    // Deletes the current request document and takes ownership of request (may be null).
    void SetRequestSchema(JsonSceneRequest* request);

    // Appends {"id"[,"data"][,"type"],"width","height"}; "data" is the Base64 content of the
    // file at path, read now. path and type may be null. Returns the image (borrowed).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreateImage(const char* id, const char* path,
                                                              const char* type, unsigned int width,
                                                              unsigned int height);
    // Appends {"id","url","type","width","height"}. Returns the image (borrowed).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreateImageURL(const char* id, const char* url,
                                                                 const char* type,
                                                                 unsigned int width,
                                                                 unsigned int height);
    // Appends a part on the image of that id. Returns the part (borrowed).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreatePart(const char* image, const char* label,
                                                             unsigned int x, unsigned int y,
                                                             unsigned int z);
    // The same, with the "id" text of image ("" when it has none).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreatePart(
        DocumentAPI::JsonDocumentAPI::JsonSchemaList* image, const char* label, unsigned int x,
        unsigned int y, unsigned int z);
    // Appends a new attribute (owning value) to part's "attributes" and returns it (borrowed);
    // without such a member the attribute and value are deleted and null is returned.
    JsonSceneAttribute* CreateAttribute(DocumentAPI::JsonDocumentAPI::JsonSchemaList* part,
                                        const char* category, const char* label, JSceneAttr type,
                                        DocumentAPI::JsonDocumentAPI::JsonSchema* value);
    // Appends an empty "attribute-tables" array at the end of list.
    void CreateNewAttributeTables(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list);
    // Appends one table item to the first "attribute-tables" array of list:
    //   {"category","layout":{"type","columns":{"count","style":{"width":{key:width..}}},
    //    "rows":{"names":[..]}}}
    // names must hold nameCount texts and widths widthCount entries; counts of 0 or less add none.
    void AddAttributeTablesItms(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list,
                                const char* category, const char* layout, int columns, char** names,
                                int nameCount, width_map* widths, int widthCount);

  protected:
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _images;
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _area;
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _scene;
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _parts;
    JSceneMode _mode;
    // Owned; null after SetRequestSchema(nullptr).
    JsonSceneRequest* _request;
};

#endif  // WEBJSON_JSON_SCENE_H
