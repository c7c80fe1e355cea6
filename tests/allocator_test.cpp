#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <sstream>
#include <thread>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

// The C library's count of heap in use; sanitizers keep their own heap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kHeapCounted = false;
#else
const bool kHeapCounted = true;
#endif
std::size_t HeapInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// An element type of this file's own: {"n":int,"s":string,"on":bool,"v":[int...]}.
class Item : public JsonSchemaList {
  public:
    Item() : JsonSchemaList("") {}
};
using Items = JsonSchemaArray<Item>;

Item* NewItem() {
    auto* item = new Item();
    item->AddNew(new JsonSchemaInt("n", 7));
    item->AddNew(new JsonSchemaString("s", "dflt"));
    item->AddNew(new JsonSchemaBool("on", true));
    item->AddNew(new JsonSchemaArray<JsonSchemaInt>("v", nullptr));
    return item;
}

std::string ItemsText(int count) {
    std::string text = "[";
    for (int i = 0; i < count; ++i) {
        text += i ? "," : "";
        text += R"({"n":)" + std::to_string(i) + R"(,"s":"a string longer than its buffer )" +
                std::to_string(i) + R"(","on":false,"v":[1,2,3]})";
    }
    return text + "]";
}

// Nodes of many sizes and alignments, made on one thread and deleted on another.
struct alignas(64) Wide : JsonSchemaInt {
    Wide() : JsonSchemaInt("w", 1) {}
};
struct Big : JsonSchemaString {
    Big() : JsonSchemaString("big", "x") {}
    char pad[2000] = {};
};
std::vector<JsonSchema*> MakeMixed(int count) {
    std::vector<JsonSchema*> nodes;
    for (int i = 0; i < count; ++i) {
        nodes.push_back(new JsonSchemaInt("i", i));
        nodes.push_back(new (std::nothrow) JsonSchemaString("s", "t"));
        nodes.push_back(new Wide());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nodes.back()) % 64, 0u);
        if (i % 100 == 0) nodes.push_back(new Big());
    }
    return nodes;
}

}  // namespace

// Building, reading and destroying large trees, also across threads, gives the memory back.
TEST(NodeAllocator, MemoryComesBackAfterLargeTreesOnAnyThread) {
    const std::string text = ItemsText(10000);
    const std::size_t before = HeapInUse();
    {
        Items items("items", NewItem());
        for (int round = 0; round < 2; ++round) {
            items.Reset();
            ASSERT_TRUE(Read(items, text));
        }
        ASSERT_EQ(items.Size(), 10000u);
        if (kHeapCounted) { EXPECT_GT(HeapInUse(), before + 4 * 1024 * 1024); }
    }
    {
        std::vector<JsonSchema*> mine = MakeMixed(20000);
        std::vector<JsonSchema*> theirs;
        std::thread([&theirs] { theirs = MakeMixed(20000); }).join();  // their owner is gone
        std::thread([&mine] {
            for (JsonSchema* node : mine)
                delete node;
        }).join();
        for (JsonSchema* node : theirs)
            delete node;
    }
    // Blocks emptied by other threads come back when their owner next needs nodes of the size.
    for (JsonSchema* node : MakeMixed(2000))
        delete node;
    if (kHeapCounted) { EXPECT_LT(HeapInUse(), before + 1024 * 1024); }
}
