/// \file
/// Image scene: images with parts placed on them, the parts' attributes and attribute tables,
/// and the layout of the view's scene and attributes areas.
#ifndef WEBJSON_JSON_SCENE_H
#define WEBJSON_JSON_SCENE_H

#include <cstdint>
#include <istream>

#include "json_document.h"
#include "json_list.h"
#include "json_scene_attribute.h"
#include "json_scene_request.h"
#include "webjson_export.h"

/// One column width of an attribute table: member key and width text. Not owned.
/// \ingroup views
struct width_map {
    const char* key;    ///< The column's member key.
    const char* width;  ///< Its width, as a CSS width text such as "60%".
};

/// The image scene document: images, parts placed on them with their attributes, and the
/// layout of the view's areas.
///
/// The document:
/// \code{.json}
/// {"images":[..],"attributes":{"position","width","height"},
///  "scene":{"position","width","height","selection":{"type":"border"},"parts":[..]}}
/// \endcode
/// Parts:
/// \code{.json}
/// {"id":"div_<image>_<label>","label","type":"region","image","position":{"x","y","z"},
///  "status":{"severity":"none","label":""},"attributes":[..][,"attribute-tables":[..]]}
/// \endcode
///
/// The mode decides what is written and where a processed document goes: SCENE_NO_IMAGES leaves
/// out "images"; SCENE_REQUEST writes {} and hands processed text to the request document (by
/// default a JsonSceneRequestVsysCtrl, owned by the scene). Processing in the other modes reads
/// the scene's own tree, which first empties images and parts; their elements are skipped.
///
/// \code
/// JsonScene scene("left", 640, 480, "right", 240, 480);
/// scene.CreateImageURL("plan", "plan.png", "png", 640, 480);
/// JsonSchemaList* pump = scene.CreatePart("plan", "Pump", 120, 80, 1);
/// scene.CreateAttribute(pump, "Status", "Speed", ATTR_INTEGER,
///                       new JsonSchemaParam(PARAM_INT, 0x100, 0x2A, {0, 0, 0, 0}, nullptr, 0));
/// scene.GenerateDocument("scene.json", nullptr);   // the parameter's value from the server
///
/// scene.SetMode(JsonScene::SCENE_REQUEST);         // posts now go to the server
/// std::istringstream post(R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"}]})");
/// bool ok = scene.ProcessDocumentStream(post, nullptr);   // one set message 0x810B
/// \endcode
///
/// Nothing the scene writes or reads depends on other documents or arrays of the program: its
/// "images" and "parts" count in the class-wide data of arrays of object nodes (with a null
/// prototype) but never read with the class-wide prototype. Not thread-safe: a scene is used by
/// one thread at a time.
///
/// Choices for unusual calls:
/// - SetRequestSchema with the request document the scene already holds keeps it (no delete).
/// - AddAttributeTablesItms on an object without an "attribute-tables" array (or on null)
///   builds nothing and changes nothing.
/// - CreateAttribute and CreateNewAttributeTables on null delete what they would add.
/// \ingroup views
class WEBJSON_API JsonScene : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    /// What the scene writes and where processed text goes.
    ///
    /// Any other value writes and processes as SCENE_FULL.
    enum JSceneMode : uint32_t {
        SCENE_FULL = 0,       ///< Everything is written; processing reads the scene's own tree.
        SCENE_NO_IMAGES = 1,  ///< As SCENE_FULL without "images".
        SCENE_REQUEST = 2,    ///< {} is written; processing goes to the request document.
    };

    /// A scene without images or parts, in SCENE_FULL mode, with a JsonSceneRequestVsysCtrl
    /// as its request document.
    ///
    /// The scene area and the attributes area take their position texts (copied; null is taken
    /// as "") and sizes from the arguments.
    JsonScene(const char* scenePosition, int sceneWidth, int sceneHeight, const char* areaPosition,
              int areaWidth, int areaHeight);
    /// Deletes the request document, then the tree.
    ~JsonScene() override;

    /// Builds the tree; called by the constructor only.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;
    /// Processes a posted text according to the mode.
    ///
    /// SCENE_REQUEST: the request document's processing (list is not passed on), whose
    /// LastError the scene then reports as its own; false without reading when there is no
    /// request document. Other modes: the tree's own processing.
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;

    /// Stores mode and enables or disables images, attributes area, scene and parts for it.
    void SetMode(JSceneMode mode);
    /// Deletes the current request document and takes ownership of request (may be null).
    void SetRequestSchema(JsonSceneRequest* request);

    /// Appends an image embedded as Base64: `{"id"[,"data"][,"type"],"width","height"}`.
    ///
    /// "data" is the Base64 content of the file at path, read now (see JsonSchemaFile). path
    /// and type may be null, which leaves out their members. Returns the image (borrowed).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreateImage(const char* id, const char* path,
                                                              const char* type, unsigned int width,
                                                              unsigned int height);
    /// Appends an image by URL: `{"id","url","type","width","height"}`. Returns the image
    /// (borrowed).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreateImageURL(const char* id, const char* url,
                                                                 const char* type,
                                                                 unsigned int width,
                                                                 unsigned int height);
    /// Appends a part on the image of that id (null texts are taken as ""). Returns the part
    /// (borrowed).
    ///
    /// The part's "id" is `div_<image>_<label>`, its position (x, y, z), and it has an empty
    /// "attributes" array for CreateAttribute.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreatePart(const char* image, const char* label,
                                                             unsigned int x, unsigned int y,
                                                             unsigned int z);
    /// The same, with the "id" text of image ("" when it has none, or image is null).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* CreatePart(
        DocumentAPI::JsonDocumentAPI::JsonSchemaList* image, const char* label, unsigned int x,
        unsigned int y, unsigned int z);
    /// Appends a new attribute (owning value) to part's "attributes" and returns it (borrowed).
    ///
    /// Without such a member (or with a null part) the attribute and value are deleted and null
    /// is returned. See JsonSceneAttribute for what is written.
    JsonSceneAttribute* CreateAttribute(DocumentAPI::JsonDocumentAPI::JsonSchemaList* part,
                                        const char* category, const char* label, JSceneAttr type,
                                        DocumentAPI::JsonDocumentAPI::JsonSchema* value);
    /// Appends an empty "attribute-tables" array at the end of list (a part); nothing for a
    /// null list.
    void CreateNewAttributeTables(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list);
    /// Appends one table item to the first "attribute-tables" array of list.
    ///
    /// The item:
    /// \code{.json}
    /// {"category","layout":{"type","columns":{"count","style":{"width":{key:width..}}},
    ///  "rows":{"names":[..]}}}
    /// \endcode
    /// names must hold nameCount texts and widths widthCount entries (copied); counts of 0 or
    /// less add none.
    void AddAttributeTablesItms(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list,
                                const char* category, const char* layout, int columns, char** names,
                                int nameCount, width_map* widths, int widthCount);

  protected:
    /// "images", borrowed from the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _images;
    /// "attributes" (the attributes area), borrowed from the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _area;
    /// "scene", borrowed from the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _scene;
    /// "parts" of "scene", borrowed from the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _parts;
    /// The mode set last.
    JSceneMode _mode;
    /// The request document: owned; null after SetRequestSchema(nullptr).
    JsonSceneRequest* _request;
};

#endif  // WEBJSON_JSON_SCENE_H
