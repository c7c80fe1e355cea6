/// \file
/// Scene attributes: one typed value of a scene part, with an optional action object that tells
/// the view how the user may change it.
#ifndef WEBJSON_JSON_SCENE_ATTRIBUTE_H
#define WEBJSON_JSON_SCENE_ATTRIBUTE_H

#include <cstdint>
#include <string>
#include <vector>

#include "json_list.h"
#include "webjson_export.h"

/// Kind of a scene attribute's value, written as the attribute's "type" word.
///
/// Any other value writes "string".
/// \ingroup views
enum JSceneAttr : uint32_t {
    ATTR_STRING = 0,   ///< "string"
    ATTR_INTEGER = 1,  ///< "integer"
    ATTR_BOOLEAN = 2,  ///< "boolean"
    ATTR_URL = 3,      ///< "url"
    ATTR_ACTION = 4    ///< "action"
};

/// Kind of action object built by JsonSceneAttribute::SetActionType.
///
/// Any other value behaves as ACTION_NONE. ACTION_ENUM writes
/// `{"type":"enum","options":[{"value":"<values[i]>","label":"<labels[i]>"}]}`, ACTION_CHECK
/// `{"type":"check","options":[{"state":"unchecked","value":"<label>"}]}`, ACTION_SLIDER
/// `{"type":"slider","min":0,"max":1,"unit":""}` plus the members "shift", "precision",
/// "nominator" and "denominator", disabled until the caller enables them.
/// \ingroup views
enum JSceneAction : uint32_t {
    ACTION_NONE = 0,    ///< No "action" member.
    ACTION_TEXT = 1,    ///< `{"type":"text"}`
    ACTION_ENUM = 2,    ///< One option per value and label (pairs up to the shorter list).
    ACTION_CHECK = 3,   ///< One option per label.
    ACTION_BUTTON = 4,  ///< `{"type":"button","label":""}`
    ACTION_APPLY = 5,   ///< `{"type":"apply"}`
    ACTION_SLIDER = 6   ///< A slider from 0 to 1 without a unit, to be set by the caller.
};

/// One typed value of a scene part, with an optional action object that tells the view how the
/// user may change it.
///
/// Written as a bare object:
/// \code{.json}
/// {"name":..,"label":..,"type":..,"value":..,"category":..,"displayable":true[,"action":{..}]}
/// \endcode
/// "name" is the label, or the value node's own name when one is given (a parameter node's id
/// text, which the view posts back in a scene request). The value node is renamed "value" and
/// owned by the attribute from then on. Writing an attribute uses no prototype; its arrays
/// ("options") are never read by the scene.
///
/// Attributes built without a value node (the attribute makes its own "value" string):
/// - an ACTION_CHECK attribute marks no option when written;
/// - Clone gives an attribute whose own "value" is the empty string and whose "name" is "".
///
/// An attribute whose members were removed by the caller (Clear) also counts as having no value
/// node, and SetActionType appends a new "action" object when the old one is gone.
/// \ingroup views
class WEBJSON_API JsonSceneAttribute : public DocumentAPI::JsonDocumentAPI::JsonSchemaList {
  public:
    /// An attribute of the given kind, without an action.
    ///
    /// label and category are copied and must not be null; value may be null and must not
    /// belong to another node.
    JsonSceneAttribute(const char* label, const char* category, JSceneAttr type,
                       DocumentAPI::JsonDocumentAPI::JsonSchema* value);
    /// Deletes the members, the value node among them.
    ~JsonSceneAttribute() override;

    /// Rebuilds the action object for action, discarding what an earlier call built.
    ///
    /// ENUM and CHECK copy labels (and values) as they are now.
    void SetActionType(JSceneAction action);

    /// Writes the attribute.
    ///
    /// For ACTION_CHECK, first marks "checked" the option whose position equals the value
    /// node's integer, when that integer is listed in values. Marks are never taken back.
    bool Compile(DocumentAPI::JsonDocumentAPI::JsonWriteDocument& writer, bool withName) override;
    /// A new attribute with empty label and category, the same kind and a clone of the value
    /// node; no action, no labels or values. Owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;

  protected:
    /// The kind of value.
    JSceneAttr _type;
    /// The value node handed to the constructor (a view of the child "value"), or null.
    DocumentAPI::JsonDocumentAPI::JsonSchema* _value;
    /// The action set last.
    JSceneAction _action_type;
    /// The child "action" (a view).
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _action;

  public:
    /// Option labels, filled by the caller before SetActionType(ACTION_ENUM or ACTION_CHECK).
    std::vector<std::string> labels;
    /// Option values, filled by the caller before SetActionType(ACTION_ENUM); for ACTION_CHECK
    /// the values that may be marked.
    std::vector<uint32_t> values;

  private:
    // _value or _action when it is still one of the children, else null.
    WEBJSON_INTERNAL DocumentAPI::JsonDocumentAPI::JsonSchema* _own_child(
        DocumentAPI::JsonDocumentAPI::JsonSchema* node);
    WEBJSON_INTERNAL void _mark_checked();
};

// The library holds this instantiation, so programs share its prototype and count.
extern template class WEBJSON_API DocumentAPI::JsonDocumentAPI::JsonSchemaArray<JsonSceneAttribute>;

#endif  // WEBJSON_JSON_SCENE_ATTRIBUTE_H
