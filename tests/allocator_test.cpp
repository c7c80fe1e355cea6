#include <malloc.h>

#include <condition_variable>
#include <memory>
#include <mutex>
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

// A document of many items, read on whichever thread makes it.
TreeDocument* ReadItems(int count) {
    auto* doc = new TreeDocument(With(new JsonSchemaList(""), {new Items("items", NewItem())}));
    EXPECT_TRUE(ReadDoc(*doc, R"({"items":)" + ItemsText(count) + "}"));
    return doc;
}

// Memory comes back whoever frees it, once the free returns: nodes made on a thread that lives on
// without making a node again (blocked, as on a socket), or that has exited; whole documents,
// resets and reads that shrink an array.
TEST(NodeAllocator, MemoryComesBackWhoeverFreesIt) {
    if (!HeapMeasured()) GTEST_SKIP() << "the heap cannot be measured here";
    const std::size_t limit = HeapInUse() + 1024 * 1024;
    TreeDocument* doc = ReadItems(40000);
    EXPECT_GT(HeapInUse(), limit + 8 * 1024 * 1024);
    std::thread([doc] { delete doc; }).join();
    EXPECT_LT(HeapInUse(), limit) << "destroyed on another thread";
    std::thread([&doc] { doc = ReadItems(40000); }).join();
    ReadDoc(*doc, R"({"items":[]})");
    EXPECT_LT(HeapInUse(), limit) << "shrunk by a read after its thread exited";
    delete doc;
    std::mutex lock;
    std::condition_variable wake;
    bool read = false, done = false;
    std::thread owner([&] {  // reads, then blocks until the others are done
        std::unique_lock<std::mutex> hold(lock);
        doc = ReadItems(40000);
        read = true;
        wake.notify_all();
        wake.wait(hold, [&] { return done; });
    });
    {
        std::unique_lock<std::mutex> hold(lock);
        wake.wait(hold, [&] { return read; });
    }
    doc->_reset_schema(nullptr);
    EXPECT_LT(HeapInUse(), limit) << "reset while the owner is blocked";
    ReadDoc(*doc, R"({"items":)" + ItemsText(40000) + "}");
    std::thread([doc] { delete doc; }).join();
    EXPECT_LT(HeapInUse(), limit) << "made here, destroyed there";
    {
        std::lock_guard<std::mutex> hold(lock);
        done = true;
    }
    wake.notify_all();
    owner.join();
    std::vector<JsonSchema*> mine, theirs;
    MakeMixed(20000, mine);
    std::thread([&theirs] { MakeMixed(20000, theirs); }).join();
    std::thread([&mine] { DeleteAll(mine); }).join();
    DeleteAll(theirs);
    EXPECT_LT(HeapInUse(), limit) << "mixed sizes and alignments";
}

// Nodes whose memory the library did not give (a class's own operator new, alone or with its
// delete, placement, the global operator new, alignments past the blocks') are freed by the
// operator they came from.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // what these classes do on purpose
#endif
int g_made = 0, g_freed = 0;
struct OwnNew : JsonSchemaString {
    OwnNew() : JsonSchemaString("c", "v") {}
    static void* operator new(std::size_t n) { return ++g_made, ::operator new(n); }
};
struct OwnPair : OwnNew {
    static void operator delete(void* p) { ++g_freed, ::operator delete(p); }
};
struct Placed : JsonSchemaInt {
    Placed() : JsonSchemaInt("p", 1) {}
    static void* operator new(std::size_t, void* where) { return where; }
};
template <std::size_t Align>
struct alignas(Align) Aligned : JsonSchemaInt {
    Aligned() : JsonSchemaInt("a", 2) {}
    static void* operator new(std::size_t n) { return ::operator new(n, std::align_val_t(Align)); }
};
TEST(NodeAllocator, ForeignMemoryGoesToItsOwnOperators) {
    std::vector<JsonSchema*> nodes;
    for (int i = 0; i < 3000; ++i) {
        nodes.insert(nodes.end(),
                     {new OwnNew, new OwnPair, new (::operator new(sizeof(Placed))) Placed,
                      ::new JsonSchemaString("g", "x"), new Aligned<32>, new Aligned<4096>,
                      new JsonSchemaInt("i", i)});
    }
    const std::vector<std::string> texts = {R"("v")", R"("v")", "1", R"("x")", "2", "2"};
    for (std::size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(Write(*nodes[i]), i % 7 < 6 ? texts[i % 7] : std::to_string(i / 7));
    std::thread([&nodes] { DeleteAll(nodes); }).join();
    MakeMixed(100, nodes);
    for (int i = 0; i < 1000; ++i)
        nodes.insert(nodes.end(), {new OwnNew, ::new JsonSchemaInt("g", 1)});
    DeleteAll(nodes);
    EXPECT_TRUE(g_made == 7000 && g_freed == 3000);
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
