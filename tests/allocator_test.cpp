#include <malloc.h>

#include <memory>
#include <set>
#include <thread>

#include "test_support.h"

std::size_t HeapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

// Whether the C library reports the heap here (not under a sanitizer or valgrind).
bool HeapMeasured() {
    const std::size_t start = HeapInUse();
    static char* volatile probe;  // kept visible, so the allocation is made
    probe = new char[1 << 22];
    const bool measured = HeapInUse() >= start + (1 << 22);
    delete[] probe;
    return measured;
}

using Items = JsonSchemaArray<JsonSchemaList>;
using Ints = JsonSchemaArray<JsonSchemaInt>;
JsonSchemaList* NewItem() {
    return With(new JsonSchemaList(""),
                {new JsonSchemaInt("n", 7), new JsonSchemaString("s", "dflt"),
                 new JsonSchemaBool("on", true), new Ints("v", nullptr)});
}
std::string ItemsText(int count) {
    std::string text = "[";
    for (int i = 0; i < count; ++i)
        text += (i ? R"(,{"n":)" : R"({"n":)") + std::to_string(i) +
                R"(,"s":"a text longer than its buffer","on":false,"v":[1,2,3]})";
    return text + "]";
}

template <std::size_t Align, std::size_t Pad>
struct alignas(Align) Padded : JsonSchemaInt {
    Padded() : JsonSchemaInt("p", 1) {}
    char pad[Pad] = {};
};
// Nodes of several sizes: over-aligned, and large ones that the blocks do not serve.
void MakeMixed(int count, std::vector<JsonSchema*>& nodes) {
    for (int i = 0; i < count; ++i) {
        nodes.insert(nodes.end(), {new JsonSchemaInt("i", i), new Padded<64, 8>(),
                                   new (std::nothrow) JsonSchemaString("s", "t")});
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nodes[nodes.size() - 2]) % 64, 0u);
        if (i % 100 != 0) continue;
        nodes.insert(nodes.end(), {new Padded<128, 2000>(), new Padded<8192, 8>()});
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nodes.back()) % 8192, 0u);
    }
}
void DeleteAll(std::vector<JsonSchema*>& nodes) {
    for (JsonSchema* node : nodes)
        delete node;
    std::vector<JsonSchema*>().swap(nodes);
}

// Large trees built, read and destroyed, also across threads, give the memory back (blocks
// emptied by other threads once their owner next needs nodes of the size).
TEST(NodeAllocator, MemoryComesBackAfterLargeTreesOnAnyThread) {
    if (!HeapMeasured()) GTEST_SKIP() << "the heap cannot be measured here";
    const std::string text = ItemsText(10000);
    const std::size_t before = HeapInUse();
    auto* items = new Items("items", NewItem());
    for (int round = 0; round < 2; ++round)
        EXPECT_TRUE((items->Reset(), Read(*items, text)));
    EXPECT_TRUE(items->Size() == 10000 && HeapInUse() > before + 2 * 1024 * 1024);
    delete items;
    std::vector<JsonSchema*> mine, theirs;
    MakeMixed(20000, mine);
    std::thread([&theirs] { MakeMixed(20000, theirs); }).join();  // their owner is gone
    std::thread([&mine] { DeleteAll(mine); }).join();
    DeleteAll(theirs);
    MakeMixed(2000, mine);
    DeleteAll(mine);
    EXPECT_LT(HeapInUse(), before + 1024 * 1024);
}

// Blocks are taken from the C library in a form it can reuse: building and destroying large trees
// over and over keeps its heap near the size of the nodes (blocks aligned to their size left
// unusable fragments that doubled it, and pages were faulted in again on every cycle).
TEST(NodeAllocator, TheHeapStaysNearTheNodesInUse) {
    if (!HeapMeasured()) GTEST_SKIP() << "the heap cannot be measured here";
    const std::size_t start = mallinfo2().arena, used = HeapInUse();
    std::size_t peak = 0;
    for (int round = 0; round < 6; ++round) {
        JsonSchemaList list("");
        for (int i = 0; i < 60000; ++i)
            list.AddNew(new JsonSchemaString("s", "t"));
        peak = std::max(peak, HeapInUse() - used);
    }
    EXPECT_LT(mallinfo2().arena, start + peak + peak / 4 + (1 << 20));
}

// An element read again after a reset is like a new clone, whatever was done to it, kept
// arrays are not counted as live, and a replaced prototype's shape wins over the spares'.
TEST(ElementSpares, AReusedElementIsLikeANewClone) {
    Items used("a", NewItem()), fresh("b", nullptr);
    ASSERT_TRUE(Read(used, ItemsText(3)) && Ints::_ref == 4);
    JsonSchemaList* item = used.GetArray(2);  // the first to be read into again
    item->GetObject(1u)->SetName("t");
    item->GetObject(2u)->SetEnable(false);
    static_cast<Ints*>(item->GetObject(3u))->AddNew(new JsonSchemaInt("", 8));
    used.GetArray(1)->SetEnable(false);
    used.Reset();
    EXPECT_TRUE(used.Size() == 0 && !used.GetArray(0) && Write(used) == "[]" && Ints::_ref == 1);
    for (const char* text : {R"([{"n":5},{"n":6}])", R"([{"n":1,"s":"x","on":false,"v":[2]}])"}) {
        EXPECT_EQ(Read(used, text), Read(fresh, text)) << text;
        EXPECT_EQ(Write(used), Write(fresh)) << text;
        used.Reset(), fresh.Reset();
    }
    used.Reset(), Read(used, ItemsText(2)), used.Reset();
    delete Items::_element;
    Items::_element = new JsonSchemaList("");
    Items::_element->AddNew(new JsonSchemaString("x", "-"));
    EXPECT_TRUE(Read(used, R"([{"x":"y"}])") && Write(used) == R"([{"x":"y"}])" && !Ints::_ref);
}

// An array inside a spare element keeps the elements it read: the next read renews those nodes.
TEST(ElementSpares, ArraysInsideSparesKeepTheirElements) {
    Ints ints("i", new JsonSchemaInt("", 0));
    Items items("a", NewItem());
    std::set<JsonSchema*> before, after;
    std::vector<std::unique_ptr<JsonSchemaInt>> held;  // would take the places of deleted nodes
    for (std::set<JsonSchema*>* nodes : {&before, &after}) {
        items.Reset();
        for (int k = 0; k < 9; ++k)
            held.emplace_back(new JsonSchemaInt("", k));
        ASSERT_TRUE(Read(items, ItemsText(3)));
        for (unsigned int i = 0; i < 9; ++i)
            nodes->insert(
                static_cast<Ints*>(items.GetArray(i / 3)->GetObject(3u))->GetObject(i % 3));
    }
    EXPECT_TRUE(before == after && before.size() == 9 && Ints::_ref == 5);
    JsonSchemaArray<Ints> rows("r", new Ints("", nullptr));  // spare arrays do not count as live
    const std::int32_t live = Ints::_ref;
    EXPECT_TRUE(Read(rows, "[[1],[2,3]]") && Ints::_ref == live + 2);
    rows.Reset();
    EXPECT_EQ(Ints::_ref, live);
    EXPECT_TRUE(Read(rows, "[[4]]") && Ints::_ref == live + 1 && Write(rows) == "[[4]]");
    struct Holed : Ints {  // a subclass that empties a place of its own
        using Ints::Ints;
        void Hole() { delete _children[0], _children[0] = nullptr; }
    } holed("h", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 0)));
    ASSERT_TRUE(Read(holed, "[1,2]"));
    holed.Hole(), holed.Reset();
    EXPECT_TRUE(Read(holed, "[3,4,5]") && Write(holed) == "[3,4,5]");
}
