#include <gtest/gtest.h>

#include <sstream>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

TEST(JsonWriteDocument, Smoke) {
    std::ostringstream out;
    JsonWriteDocument w(out);
    int v = 1;
    std::string a = "a";
    w.Serialize(JSON_OBJECT_BEGIN, JsonSchema::_nullstr, nullptr);
    w.Serialize(JSON_INT, a, &v);
    w.Serialize(JSON_OBJECT_END, JsonSchema::_nullstr, nullptr);
    EXPECT_EQ(out.str(), "{\"a\":1}");
}
