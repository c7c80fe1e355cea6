// Parameter node: a document member bound to one parameter of the device's control server.
#ifndef WEBJSON_JSON_PARAM_H
#define WEBJSON_JSON_PARAM_H

#include <cstdint>

#include "json_schema.h"
#include "webjson_export.h"

#include "qm_agent.h"

// Kind of a device parameter; values outside the four listed are written as nothing and
// skipped when read.
enum JParamType : uint32_t {
    PARAM_INT = 0,     // JSON number, id letter "i"
    PARAM_ENUM = 1,    // JSON string: display text or "%u", id letter "i"
    PARAM_STRING = 2,  // JSON string, id letter "s"
    PARAM_BOOL = 3     // JSON string "true"/"false", id letter "b"
};

// The four index words of a parameter, in stored order.
struct idx_t {
    uint32_t w1;
    uint32_t w2;
    uint32_t w3;
    uint32_t w4;
};

// Writing the node fetches the parameter's value with one get message (mid | 0x800D);
// reading it sends the value read with one set message (mid | 0x800B). The node's name, and so
// its JSON key, is the parameter id text "%X.%X.%X.%X.%X.%X" (mid, param, index words 1 to 4)
// followed by the type letter: "s" string, "b" bool, "i" every other type.
//
// Messages go through QmMbAgent::MsgCall with the address of a QmMsgRecord: param, the index
// words, status 0, the length (4, or for text 256 on a get and the text's length on a set) and
// the data's address. The status word and the call's result are ignored. The node holds no
// array and depends on nothing process-wide but the agent's server.
//  - Before a get, the buffer is zero: a server that does not answer gives 0 (written as 0,
//    the enum text at 0, "false") or the empty text.
//  - Written forms: int as a number; enum as the display text at the value (a null entry or a
//    value not below the count gives the value in "%u"); string as the answer up to its first
//    zero byte, at most 256 bytes; bool as the string "true" (value not 0) or "false".
//  - Read forms: int a number; enum a string converted like atoi, saturated to the int range
//    (as the device's C library does) so that overlong digits are safe; string a string,
//    sent up to its first zero byte; bool a string, exactly "true" sends 1, anything else 0.
//  - A type outside the four is neither written nor sent; its member's value is skipped.
class WEBJSON_API JsonSchemaParam : public DocumentAPI::JsonDocumentAPI::JsonSchema {
  public:
    // texts: optional display texts for PARAM_ENUM, not owned; must outlive the node. A null
    // texts ignores count.
    JsonSchemaParam(JParamType type, unsigned int mid, unsigned int param, idx_t idx,
                    const char** texts, unsigned int count);
    ~JsonSchemaParam() override;

    // Does nothing: the node keeps no value.
    void Reset() override;
    // Same type, mid, param and idx; no text list.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;
    bool Compile(DocumentAPI::JsonDocumentAPI::JsonWriteDocument& writer, bool withName) override;
    bool Format(DocumentAPI::JsonDocumentAPI::JsonReadDocument& reader, bool withName) override;

    virtual uint32_t GetMid();
    virtual uint32_t GetParam();
    virtual JParamType GetParamType();

  protected:
    uint32_t _mid;
    uint32_t _param;
    idx_t _idx;
    JParamType _type;
    const char** _texts;
    uint32_t _count;
};

#endif  // WEBJSON_JSON_PARAM_H
