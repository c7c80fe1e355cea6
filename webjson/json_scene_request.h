/// \file
/// Scene requests: the changes a scene view posts back, `{"attributes":[{"name":..,"value":..}]}`.
#ifndef WEBJSON_JSON_SCENE_REQUEST_H
#define WEBJSON_JSON_SCENE_REQUEST_H

#include <istream>

#include "json_document.h"
#include "json_list.h"
#include "webjson_export.h"

/// The document of a post, and the base of request documents.
///
/// It refuses every processing: subclasses override ProcessDocumentStream to act on the pairs.
///
/// The "attributes" array reads its pairs with a `{"name":"","value":""}` prototype of its own,
/// whatever other arrays of object nodes the program has built and in whatever order. It still
/// offers such a prototype class-wide, as arrays of object nodes do (kept when none is in force,
/// deleted at once otherwise), and counts in their _ref.
/// \ingroup views
class WEBJSON_API JsonSceneRequest : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    /// A request with an empty "attributes" array.
    JsonSceneRequest();
    /// Deletes the tree.
    ~JsonSceneRequest() override;

    /// The root object holding the "attributes" array; called by the constructor only.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;
    /// Returns false; nothing is read.
    ///
    /// LastError says "this document does not read posts"; nothing is printed.
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;

  protected:
    /// The root's "attributes" array (a view).
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _attributes;
};

/// Forwards every pair of a post whose name is a parameter id text to the control server.
///
/// One set message (mid | 0x800B) per pair goes through QmMbAgent::MsgCall, in the order of the
/// post; each blocks until the server has handled it.
///
/// A name is read as six hexadecimal numbers joined by "." and followed directly by a type
/// letter; anything after the letter is ignored. Each number may be preceded by white space and
/// may carry a sign and a "0x" prefix (a "0x" with no digit after it reads as 0, as the
/// device's scanf reads it); digits are accepted in either case. A number too large for 32 bits
/// gives 0xFFFFFFFF; a minus sign negates modulo 2^32 ("-1" gives 0xFFFFFFFF). A name ending in a
/// lower-case "b" has that b as its letter: the sixth number stops before it ("100.2C.0.1.0.0b" is
/// param 0x2C, letter b).
///
/// Data by letter: "i" the decimal value of the text (as atoi reads it; outside the 32-bit range
/// it saturates), "s" the text with its terminating zero (length + 1), "b" 1 for "true" and 0
/// for "false". Pairs with another letter, an empty value, a "b" value other than those two, or a
/// name that is not an id send nothing.
/// \ingroup views
class WEBJSON_API JsonSceneRequestVsysCtrl : public JsonSceneRequest {
  public:
    /// A request with an empty "attributes" array.
    JsonSceneRequestVsysCtrl();
    /// Deletes the tree.
    ~JsonSceneRequestVsysCtrl() override;

    /// Reads the post (into list when given), then sends the pairs left in the request's own
    /// array.
    ///
    /// True when the read succeeded and no answer carried a negative status; a failing pair
    /// does not stop the others. A post that cannot be read into the request's own array sends
    /// nothing (the failed read empties it); with list, the pairs already in the array are sent
    /// whatever the read's outcome. After a good read, LastError names the first pair answered
    /// with a negative status (path `attributes[i]`, message
    /// `the control server answered <id text> with status <status>`).
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;
};

#endif  // WEBJSON_JSON_SCENE_REQUEST_H
