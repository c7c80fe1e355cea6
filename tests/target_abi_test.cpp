// The sizes and layouts that the device, its control server and browser-facing code agree on.
// Checked at compile time in every build; on 32-bit ARM the checks also prove that the suite
// runs where long, pointers and time_t are 32 bits wide. The program has no run-time case: the
// parameter and scene request tests send records through the mailbox on every target.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <type_traits>

#include <webjson/webjson.h>
#include <webjson/qm_agent.h>

using namespace DocumentAPI::JsonDocumentAPI;

// The message record: seven 32-bit words, then the data's address; eight 32-bit words, 32
// bytes, where pointers are 32 bits.
static_assert(offsetof(QmMsgRecord, param) == 0, "word 0");
static_assert(offsetof(QmMsgRecord, idx) == 4 && sizeof(QmMsgRecord::idx) == 16, "words 1-4");
static_assert(offsetof(QmMsgRecord, status) == 20 && sizeof(QmMsgRecord::status) == 4, "word 5");
static_assert(offsetof(QmMsgRecord, length) == 24 && sizeof(QmMsgRecord::length) == 4, "word 6");
static_assert(offsetof(QmMsgRecord, data) ==
                  (28 + alignof(void*) - 1) / alignof(void*) * alignof(void*),
              "the data's address follows the seven words");
static_assert(std::is_signed<decltype(QmMsgRecord::status)>::value, "negative status is failure");
static_assert(sizeof(idx_t) == 16, "four index words");
// The record's address travels as MsgCall's unsigned long.
static_assert(sizeof(unsigned long) >= sizeof(void*), "an address fits in unsigned long");

// Values that cross the library's interface with a fixed width.
static_assert(sizeof(int) == 4, "JSON integers are 32-bit");
static_assert(std::is_same<decltype(JsonSchemaArray<JsonSchemaInt>::_ref), int32_t>::value, "");
static_assert(std::is_same<std::underlying_type<JParamType>::type, uint32_t>::value, "");
static_assert(std::is_same<std::underlying_type<JsonScene::JSceneMode>::type, uint32_t>::value, "");
static_assert(std::is_same<std::underlying_type<JSceneAttr>::type, uint32_t>::value, "");
static_assert(std::is_same<std::underlying_type<JSceneAction>::type, uint32_t>::value, "");
static_assert(std::is_same<std::underlying_type<JsonToken>::type, unsigned int>::value, "");

#if defined(__arm__)
static_assert(sizeof(long) == 4 && sizeof(void*) == 4, "32-bit ARM: long and pointers");
static_assert(sizeof(QmMsgRecord) == 32, "32-bit ARM: the record is eight words");
#if !defined(_TIME_BITS) || _TIME_BITS != 64
static_assert(sizeof(time_t) == 4, "32-bit ARM: time_t");
#endif
#endif
