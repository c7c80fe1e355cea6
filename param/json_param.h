/// \file
/// Parameter node: a document member bound to one parameter of the device's control server.
#ifndef WEBJSON_JSON_PARAM_H
#define WEBJSON_JSON_PARAM_H

#include <cstdint>

#include "json_schema.h"
#include "webjson_export.h"

#include "qm_agent.h"

/// Kind of a device parameter, and so of its JSON value and id letter.
///
/// Values outside the four listed are written as nothing and skipped when read.
/// \ingroup parameters
enum JParamType : uint32_t {
    PARAM_INT = 0,     ///< JSON number, id letter "i".
    PARAM_ENUM = 1,    ///< JSON string: the display text, or the value in decimal; letter "i".
    PARAM_STRING = 2,  ///< JSON string, id letter "s".
    PARAM_BOOL = 3     ///< JSON string "true" or "false", id letter "b".
};

/// The four index words of a parameter, in stored order.
/// \ingroup parameters
struct idx_t {
    uint32_t w1;  ///< Index word 1.
    uint32_t w2;  ///< Index word 2.
    uint32_t w3;  ///< Index word 3.
    uint32_t w4;  ///< Index word 4.
};

/// A document member bound to one parameter of the device's control server.
///
/// Writing the node fetches the parameter's value with one get message (mid | 0x800D);
/// reading it sends the value read with one set message (mid | 0x800B). The node's name, and so
/// its JSON key, is the parameter id text: mid, param and index words 1 to 4 in upper-case
/// hexadecimal joined by ".", followed by the type letter: "s" string, "b" bool, "i" every other
/// type, as in `100.2A.0.0.0.0i`.
///
/// Messages go through QmMbAgent::MsgCall with the address of a QmMsgRecord: param, the index
/// words, status 0, the length (4, or for text 256 on a get and the text's length on a set) and
/// the data's address. The status word and the call's result are ignored. The node holds no
/// array and depends on nothing process-wide but the agent's server; each message blocks the
/// calling thread until the server has handled it.
///  - Before a get, the buffer is zero: a server that does not answer gives 0 (written as 0,
///    the enum text at 0, "false") or the empty text. While QmMbAgent::m_svr is null nothing is
///    sent, so the node writes 0, "" or "false".
///  - Written forms: int as a number; enum as the display text at the value (a null entry or a
///    value not below the count gives the value as unsigned decimal); string as the answer up to
///    its first zero byte, at most 256 bytes; bool as the string "true" (value not 0) or "false".
///  - Read forms: int a number; enum a string converted like atoi, saturated to the int range
///    (as the device's C library does) so that overlong digits are safe; string a string,
///    sent up to its first zero byte; bool a string, exactly "true" sends 1, anything else 0.
///  - A type outside the four is neither written nor sent; its member's value is skipped.
///
/// \code
/// QmMbAgent::m_svr = serverMailbox;   // once, before documents talk to the server
/// auto* speed = new JsonSchemaParam(PARAM_INT, 0x100, 0x2A, idx_t{0, 0, 0, 0}, nullptr, 0);
/// root->AddNew(speed);                // key "100.2A.0.0.0.0i"
/// \endcode
/// \ingroup parameters
class WEBJSON_API JsonSchemaParam : public DocumentAPI::JsonDocumentAPI::JsonSchema {
  public:
    /// A node for the parameter (mid, param, idx) of the given type, named by its id text.
    ///
    /// texts: optional display texts for PARAM_ENUM, indexed by value, not owned; they must
    /// outlive the node. A null texts ignores count.
    JsonSchemaParam(JParamType type, unsigned int mid, unsigned int param, idx_t idx,
                    const char** texts, unsigned int count);
    /// Destroys the node (the display texts are the caller's).
    ~JsonSchemaParam() override;

    /// Does nothing: the node keeps no value.
    void Reset() override;
    /// A node for the same type, mid, param and idx, without display texts; owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;
    /// Fetches the parameter's value with one get message and writes it.
    bool Compile(DocumentAPI::JsonDocumentAPI::JsonWriteDocument& writer, bool withName) override;
    /// Reads the value and sends it with one set message; nothing is sent when the value does
    /// not fit.
    bool Format(DocumentAPI::JsonDocumentAPI::JsonReadDocument& reader, bool withName) override;

    /// The parameter's mid, as given.
    virtual uint32_t GetMid();
    /// The parameter's number within its mid.
    virtual uint32_t GetParam();
    /// The parameter's type.
    virtual JParamType GetParamType();

  protected:
    /// The mid as given; a get goes to mid | 0x800D, a set to mid | 0x800B.
    uint32_t _mid;
    /// The parameter's number, sent as the record's param.
    uint32_t _param;
    /// The index words, sent in the record.
    idx_t _idx;
    /// The parameter's type.
    JParamType _type;
    /// Display texts of an enum, not owned; null when there are none.
    const char** _texts;
    /// The number of display texts (0 without texts).
    uint32_t _count;
};

#endif  // WEBJSON_JSON_PARAM_H
