// Checked at compile time in every build: values that cross the library's interface with a
// fixed width; on 32-bit ARM, that the suite runs where long, pointers and time_t are 32 bits.
#include <gtest/gtest.h>

#include <ctime>
#include <type_traits>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

static_assert(
    sizeof(int) == 4 &&
        std::is_same<decltype(JsonSchemaArray<JsonSchemaInt>::_ref), int32_t>::value &&
        std::is_same<std::underlying_type<JParamType>::type, uint32_t>::value &&
        std::is_same<std::underlying_type<JsonScene::JSceneMode>::type, uint32_t>::value &&
        std::is_same<std::underlying_type<JSceneAttr>::type, uint32_t>::value &&
        std::is_same<std::underlying_type<JSceneAction>::type, uint32_t>::value &&
        std::is_same<std::underlying_type<JsonToken>::type, unsigned int>::value,
    "fixed widths");
#if defined(__arm__)
static_assert(sizeof(long) == 4 && sizeof(void*) == 4 && sizeof(QmMsgRecord) == 32, "32-bit ARM");
#if !defined(_TIME_BITS) || _TIME_BITS != 64
static_assert(sizeof(time_t) == 4, "32-bit ARM: time_t");
#endif
#endif
