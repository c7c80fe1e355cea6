// Node allocator: size classes carved from per-thread blocks, a page map that knows the blocks,
// and the node operators.
#include "core/detail/node_allocator.h"

#include <pthread.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/detail/cold.h"
#include "json_schema.h"

// Sanitizers and memory checkers must see every node: whatever enabled them, the blocks are off,
// unless the build asks for them (WEBJSON_NODE_ALLOCATOR=2: the thread sanitizer then checks the
// allocator's own synchronisation).
#if !defined(WEBJSON_NODE_ALLOCATOR) || !WEBJSON_NODE_ALLOCATOR
#define WEBJSON_PLAIN_NODES 1
#elif WEBJSON_NODE_ALLOCATOR == 2
#elif defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define WEBJSON_PLAIN_NODES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer) || __has_feature(hwaddress_sanitizer)
#define WEBJSON_PLAIN_NODES 1
#endif
#endif

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace node_allocator {

namespace {

// The global operator new, for what the blocks do not serve: the throwing forms, which a program
// may replace, and which the global operator delete that frees such a node pairs with.
void* Global(std::size_t size, std::size_t align) noexcept {
    try {
        if (align <= __STDCPP_DEFAULT_NEW_ALIGNMENT__) return ::operator new(size);
        return ::operator new(size, std::align_val_t(align));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

#if defined(WEBJSON_PLAIN_NODES)

bool Enabled() {
    return false;
}
void* Allocate(std::size_t size, std::size_t align) noexcept {
    return Global(size, align);
}
void Free(void* p) noexcept {
    ::operator delete(p);
}
void Free(void* p, std::align_val_t align) noexcept {
    ::operator delete(p, align);
}

#else

namespace {

// A block is a plain malloc of kChunk bytes, with no alignment asked of the C library (aligned
// requests leave fragments that later ones cannot use). Its slots fill the kSlots bytes from its
// first page boundary: whole pages, which no other allocation can share, entered in the page map.
// The block's head lies before them when there is room, else after them.
constexpr std::size_t kPage = 4096;
constexpr std::size_t kSlots = 32 * 1024;
constexpr std::size_t kChunk = kSlots + kPage;
// Slot sizes are multiples of 8 bytes and slots follow each other from a page boundary: a type's
// size is a multiple of its alignment, so every node up to kMaxAlign gets the alignment it asks
// for.
constexpr std::size_t kGrain = 8;
constexpr std::size_t kMaxSlot = 512;
constexpr std::size_t kClasses = kMaxSlot / kGrain + 1;
constexpr std::size_t kMaxAlign = 64;

struct Cache;

// The head of a block. A block is its owner's current block of its class, or retired on one of
// its owner's lists, or, once its owner exited, on none.
struct Block {
    enum List : std::uint8_t { kNone, kCurrent, kPartial, kFull };

    Block(void* memory, char* first, std::size_t size_class)
        : bump(first),
          limit(first + kSlots),
          cls(static_cast<std::uint32_t>(size_class)),
          slot(static_cast<std::uint32_t>(size_class * kGrain)),
          slots(first),
          chunk(memory) {}

    // The owner's alone while the block is current:
    void* free = nullptr;   // free slots, linked by their first word
    char* bump;             // the next slot never handed out
    char* limit;            // the end of the slots
    std::int32_t live = 0;  // slots handed out less slots freed since the block became current
    // Fixed:
    const std::uint32_t cls;
    const std::uint32_t slot;
    char* const slots;
    void* const chunk;  // what the C library gave
    // Shared: twice the live nodes that live does not count, plus 1 while the block is current.
    // It reaches 0 once, when the block is retired and its last node freed: whoever brings it
    // there gives the block back.
    std::atomic<std::int32_t> state{1};
    // Slots freed while the block was not current, or by other threads.
    std::atomic<void*> remote{nullptr};
    // Null once the owner exited. Read and written with the atomic builtins (which -Os inlines,
    // where it would call std::atomic's functions); changed under the owner's lock.
    Cache* owner = nullptr;
    // Under the owner's lock:
    List list = kCurrent;
    Block* prev = nullptr;
    Block* next = nullptr;
};

// One thread's blocks of one size class: the block it carves from, the block whose slots it has
// freed and holds back (handed over as one batch when it frees into another block or needs a
// block), and under the lock its retired blocks with free slots and without.
struct alignas(8 * sizeof(void*)) Class {
    Block* current = nullptr;
    Block* held = nullptr;
    void* held_first = nullptr;
    void* held_last = nullptr;
    std::int32_t held_count = 0;
    Block* partial = nullptr;
    Block* full = nullptr;
};

// A thread's classes. Caches are never freed but kept for the next thread, so that another thread
// may take a cache's lock whenever it holds one of its blocks.
struct Cache {
    Class classes[kClasses];
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    Cache* next_spare = nullptr;
};

// The initial-exec model reads the pointer at a fixed offset instead of calling the dynamic
// TLS resolver on every node; one pointer fits the static TLS room kept even for dlopen.
#if defined(__GNUC__)
__attribute__((tls_model("initial-exec")))
#endif
thread_local Cache* t_cache = nullptr;
constexpr std::uintptr_t kDead = 1;  // t_cache of a thread that is exiting
pthread_key_t g_key;
bool g_key_made = false;
pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;  // spare caches and the map's leaves
Cache* g_spare = nullptr;

#if defined(__GNUC__)
#define WEBJSON_INLINE inline __attribute__((always_inline))
#else
#define WEBJSON_INLINE inline
#endif

// The page map: the block of every page that holds slots, null for every other page. Entries are
// set before a block's first node is handed out and cleared before its memory is freed, so a
// node's page always names its block, and a page of memory from elsewhere names none. Untouched
// parts are never made resident.
#if UINTPTR_MAX > 0xFFFFFFFFu
// 48-bit addresses: a root of 2^18 leaves, each of the 2^18 pages of 1 GiB, made on first use.
constexpr unsigned kLeafBits = 18;
constexpr std::uintptr_t kLeafMask = (std::uintptr_t{1} << kLeafBits) - 1;
Block** g_root[std::uintptr_t{1} << (48 - 12 - kLeafBits)];

WEBJSON_INLINE Block* BlockOf(const void* p) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(p);
    if ((at >> 48) != 0) return nullptr;
    Block** pages = __atomic_load_n(&g_root[at >> (12 + kLeafBits)], __ATOMIC_RELAXED);
    return pages == nullptr ? nullptr
                            : __atomic_load_n(&pages[(at >> 12) & kLeafMask], __ATOMIC_RELAXED);
}

// The entry of the page at, its leaf made when make is set; null without one.
Block** Entry(std::uintptr_t at, bool make) {
    if ((at >> 48) != 0) return nullptr;
    Block*** leaf = &g_root[at >> (12 + kLeafBits)];
    Block** pages = __atomic_load_n(leaf, __ATOMIC_ACQUIRE);
    if (pages == nullptr && make) {
        pthread_mutex_lock(&g_lock);
        pages = *leaf;
        if (pages == nullptr) {
            // Fresh anonymous memory reads as zero: no entry is ever seen before it is set.
            void* room = mmap(nullptr, sizeof(Block*) << kLeafBits, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (room != MAP_FAILED) {
                pages = static_cast<Block**>(room);
                __atomic_store_n(leaf, pages, __ATOMIC_RELEASE);
            }
        }
        pthread_mutex_unlock(&g_lock);
    }
    return pages == nullptr ? nullptr : &pages[(at >> 12) & kLeafMask];
}
#else
// 32-bit addresses: one entry for each of the 2^20 pages (4 MiB, resident only where touched).
Block* g_pages[std::uintptr_t{1} << 20];

WEBJSON_INLINE Block* BlockOf(const void* p) {
    return __atomic_load_n(&g_pages[reinterpret_cast<std::uintptr_t>(p) >> 12], __ATOMIC_RELAXED);
}

Block** Entry(std::uintptr_t at, bool) {
    return &g_pages[at >> 12];
}
#endif

// Enters b for its pages (or clears them with null); false when the map has no room.
bool Map(Block* b, Block* to) {
    for (std::size_t at = 0; at < kSlots; at += kPage) {
        Block** entry = Entry(reinterpret_cast<std::uintptr_t>(b->slots + at), to != nullptr);
        if (entry == nullptr) return false;
        __atomic_store_n(entry, to, __ATOMIC_RELAXED);
    }
    return true;
}

void Destroy(Block* b) {
    Map(b, nullptr);
    void* chunk = b->chunk;
    b->~Block();
    std::free(chunk);
}

Cache* OwnerOf(Block* b) {
    return __atomic_load_n(&b->owner, __ATOMIC_ACQUIRE);
}

void* Next(void* slot) {
    void* next;
    std::memcpy(&next, slot, sizeof next);
    return next;
}
void SetNext(void* slot, void* next) {
    std::memcpy(slot, &next, sizeof next);
}

// List operations, under the owner's lock.
Block** Head(Class& c, Block::List list) {
    return list == Block::kPartial ? &c.partial : &c.full;
}
void Unlink(Class& c, Block* b) {
    if (b->prev) {
        b->prev->next = b->next;
    } else {
        *Head(c, b->list) = b->next;
    }
    if (b->next) b->next->prev = b->prev;
    b->prev = b->next = nullptr;
    b->list = Block::kNone;
}
void Link(Class& c, Block* b, Block::List list) {
    Block** head = Head(c, list);
    b->list = list;
    b->prev = nullptr;
    b->next = *head;
    if (*head) (*head)->prev = b;
    *head = b;
}

// A block whose count reached 0: off its owner's list, then back to the C library.
void Release(Block* b) {
    if (Cache* owner = OwnerOf(b)) {
        pthread_mutex_lock(&owner->lock);
        if (OwnerOf(b) == owner && b->list != Block::kNone) Unlink(owner->classes[b->cls], b);
        pthread_mutex_unlock(&owner->lock);
    }
    Destroy(b);
}

// Frees count slots of b, linked from first to last, from any thread: onto the block's remote
// list, then off its count. A block that had no remote frees becomes one its owner takes slots
// from again. The slots keep the block alive until they are counted off.
void GiveBack(Block* b, void* first, void* last, std::int32_t count) {
    Cache* owner = OwnerOf(b);
    void* head = b->remote.load(std::memory_order_relaxed);
    do {
        SetNext(last, head);
    } while (!b->remote.compare_exchange_weak(head, first, std::memory_order_release,
                                              std::memory_order_relaxed));
    if (head == nullptr && owner != nullptr) {
        pthread_mutex_lock(&owner->lock);
        if (OwnerOf(b) == owner && b->list == Block::kFull) {
            Class& c = owner->classes[b->cls];
            Unlink(c, b);
            Link(c, b, Block::kPartial);
        }
        pthread_mutex_unlock(&owner->lock);
    }
    if (b->state.fetch_sub(2 * count, std::memory_order_acq_rel) == 2 * count) Release(b);
}

// Hands the slots held back in c over to their block.
void Hand(Class& c) {
    if (Block* b = c.held) {
        c.held = nullptr;
        GiveBack(b, c.held_first, c.held_last, c.held_count);
    }
}

// The current block stops being current: its live count joins the shared one, and it goes onto
// a list, or back to the C library when no node of it lives.
void Retire(Cache* cache, Class& c, Block* b) {
    pthread_mutex_lock(&cache->lock);
    c.current = nullptr;
    const std::int32_t add = 2 * b->live - 1;
    b->live = 0;
    if (b->state.fetch_add(add, std::memory_order_acq_rel) + add == 0) {
        b->list = Block::kNone;
        pthread_mutex_unlock(&cache->lock);
        Destroy(b);
        return;
    }
    Link(c, b,
         b->remote.load(std::memory_order_relaxed) != nullptr ? Block::kPartial : Block::kFull);
    pthread_mutex_unlock(&cache->lock);
}

void Spare(Cache* cache) {
    pthread_mutex_lock(&g_lock);
    cache->next_spare = g_spare;
    g_spare = cache;
    pthread_mutex_unlock(&g_lock);
}

void ThreadExit(void* arg) {
    Cache* cache = static_cast<Cache*>(arg);
    t_cache = reinterpret_cast<Cache*>(kDead);
    for (Class& c : cache->classes)
        Hand(c);
    Block* gone = nullptr;  // blocks with no live node, freed after the lock
    pthread_mutex_lock(&cache->lock);
    for (Class& c : cache->classes) {
        if (Block* b = c.current) {
            __atomic_store_n(&b->owner, nullptr, __ATOMIC_RELEASE);
            b->list = Block::kNone;
            const std::int32_t add = 2 * b->live - 1;
            if (b->state.fetch_add(add, std::memory_order_acq_rel) + add == 0) {
                b->next = gone;
                gone = b;
            }
        }
        for (Block* list : {c.partial, c.full}) {
            while (list) {
                Block* next = list->next;
                __atomic_store_n(&list->owner, nullptr, __ATOMIC_RELEASE);
                list->list = Block::kNone;
                list->prev = list->next = nullptr;
                list = next;
            }
        }
        c = Class();
    }
    pthread_mutex_unlock(&cache->lock);
    while (gone) {
        Block* next = gone->next;
        Destroy(gone);
        gone = next;
    }
    Spare(cache);
}

void MakeKey() {
    g_key_made = pthread_key_create(&g_key, ThreadExit) == 0;
}

// The calling thread's cache, made on first use; null once the thread is exiting.
Cache* ThisCache() {
    Cache* cache = t_cache;
    if (cache != nullptr) return reinterpret_cast<std::uintptr_t>(cache) == kDead ? nullptr : cache;
    pthread_once(&g_once, MakeKey);
    if (!g_key_made) return nullptr;
    pthread_mutex_lock(&g_lock);
    cache = g_spare;
    if (cache != nullptr) g_spare = cache->next_spare;
    pthread_mutex_unlock(&g_lock);
    if (cache == nullptr) {
        void* mem = std::malloc(sizeof(Cache));
        if (mem == nullptr) return nullptr;
        cache = new (mem) Cache();
    }
    if (pthread_setspecific(g_key, cache) != 0) {
        Spare(cache);
        return nullptr;
    }
    t_cache = cache;
    return cache;
}

void* Carve(Block* b) {
    void* p = b->bump;
    b->bump += b->slot;
    ++b->live;
    return p;
}

void* Pop(Block* b) {
    void* p = b->free;
    b->free = Next(p);
    ++b->live;
    return p;
}

// A new current block for the class; null when there is no memory or no room in the map.
Block* NewBlock(Cache* cache, Class& c, std::size_t cls) {
    void* chunk = std::malloc(kChunk);
    if (chunk == nullptr) return nullptr;
    char* const start = static_cast<char*>(chunk);
    char* const first = reinterpret_cast<char*>(
        (reinterpret_cast<std::uintptr_t>(chunk) + kPage - 1) & ~std::uintptr_t{kPage - 1});
    char* head = static_cast<std::size_t>(first - start) >= sizeof(Block) ? start : first + kSlots;
    Block* b = new (head) Block(chunk, first, cls);
    if (!Map(b, b)) {
        Destroy(b);
        return nullptr;
    }
    __atomic_store_n(&b->owner, cache, __ATOMIC_RELAXED);
    c.current = b;
    return b;
}

// A slot of the class, when its current block has none left: the block's remote frees, a block
// of the class with free slots, or a new block. Null when no block can be had.
void* Refill(Cache* cache, std::size_t cls) {
    Class& c = cache->classes[cls];
    Hand(c);
    for (;;) {
        if (Block* b = c.current) {
            if (b->free != nullptr) return Pop(b);
            if (static_cast<std::size_t>(b->limit - b->bump) >= b->slot) return Carve(b);
            if (b->remote.load(std::memory_order_relaxed) != nullptr) {
                b->free = b->remote.exchange(nullptr, std::memory_order_acquire);
                return Pop(b);
            }
            Retire(cache, c, b);
        }
        // A retired block with free slots, unless its last node was just freed (whoever freed
        // it gives it back).
        Block* taken = nullptr;
        pthread_mutex_lock(&cache->lock);
        for (Block* b = c.partial; b != nullptr && taken == nullptr; b = b->next) {
            std::int32_t s = b->state.load(std::memory_order_relaxed);
            while (s != 0 && !b->state.compare_exchange_weak(s, s + 1, std::memory_order_acq_rel,
                                                             std::memory_order_relaxed)) {
            }
            if (s != 0) taken = b;
        }
        if (taken != nullptr) {
            Unlink(c, taken);
            taken->list = Block::kCurrent;
            c.current = taken;
        }
        pthread_mutex_unlock(&cache->lock);
        if (taken == nullptr) break;
    }
    Block* b = NewBlock(cache, c, cls);
    return b == nullptr ? nullptr : Carve(b);
}

// The owner frees into a block that is not current: the slots of one block are held back and
// handed over together.
void Hold(Class& c, Block* b, void* p) {
    Hand(c);
    SetNext(p, nullptr);
    c.held = b;
    c.held_first = c.held_last = p;
    c.held_count = 1;
}

}  // namespace

bool Enabled() {
    return true;
}

namespace {

// Everything but a plain node taken from its class's current block: other alignments, other
// sizes, the thread's first node, a current block used up.
WEBJSON_COLD void* AllocateSlow(std::size_t size, std::size_t align) noexcept {
    if (align > kGrain && align <= kMaxAlign) size = (size + align - 1) & ~(align - 1);
    static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ <= kMaxAlign, "plain nodes fit the blocks");
    if (size > kMaxSlot || align > kMaxAlign) return Global(size, align);
    Cache* cache = ThisCache();
    if (cache == nullptr) return Global(size, align);
    void* p = Refill(cache, size == 0 ? 1 : (size + kGrain - 1) / kGrain);
    return p != nullptr ? p : Global(size, align);
}

// A free into a block that is neither the thread's current nor its held one.
WEBJSON_COLD void FreeSlow(Cache* cache, Block* b, void* p) noexcept {
    if (reinterpret_cast<std::uintptr_t>(cache) > kDead &&
        __atomic_load_n(&b->owner, __ATOMIC_RELAXED) == cache) {
        Hold(cache->classes[b->cls], b, p);
        return;
    }
    GiveBack(b, p, p, 1);
}

}  // namespace

// The common case in a few instructions: a plain node from the current block of its class on
// a thread that has its cache.
void* Allocate(std::size_t size, std::size_t align) noexcept {
    Cache* cache = t_cache;
    if (align <= kGrain && size - 1 < kMaxSlot && reinterpret_cast<std::uintptr_t>(cache) > kDead) {
        if (Block* b = cache->classes[(size + kGrain - 1) / kGrain].current) {
            if (b->free != nullptr) return Pop(b);
            if (static_cast<std::size_t>(b->limit - b->bump) >= b->slot) return Carve(b);
        }
    }
    return AllocateSlow(size, align);
}

// The common cases: the owner frees into its current block, or into the block it holds back.
// Memory that no block holds (null among it) goes to the global operator delete.
void Free(void* p) noexcept {
    Block* b = BlockOf(p);
    if (b == nullptr) return ::operator delete(p);
    Cache* cache = t_cache;
    if (reinterpret_cast<std::uintptr_t>(cache) > kDead) {
        Class& c = cache->classes[b->cls];
        if (c.current == b) {
            SetNext(p, b->free);
            b->free = p;
            --b->live;
            return;
        }
        if (c.held == b) {
            SetNext(p, c.held_first);
            c.held_first = p;
            ++c.held_count;
            return;
        }
    }
    FreeSlow(cache, b, p);
}

void Free(void* p, std::align_val_t align) noexcept {
    if (BlockOf(p) == nullptr) return ::operator delete(p, align);
    Free(p);
}

#endif

}  // namespace node_allocator

// The node operators: every form of the global ones. What the blocks did not serve (memory from
// the global operator new, or from a class's own operator new that left the freeing to this
// class) goes to the global operator delete of the same form (see Free).
namespace {

using node_allocator::Allocate;
using node_allocator::Free;

std::size_t Align(std::align_val_t align) {
    return static_cast<std::size_t>(align);
}

void* Take(std::size_t size, std::size_t align) {
    if (void* p = Allocate(size, align)) return p;
    throw std::bad_alloc();
}

const std::size_t kPlain = 0;  // the alignment of plain operator new

}  // namespace

void* JsonSchema::operator new(std::size_t size) {
    return Take(size, kPlain);
}
void* JsonSchema::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, kPlain);
}
void* JsonSchema::operator new(std::size_t size, std::align_val_t align) {
    return Take(size, Align(align));
}
void* JsonSchema::operator new(std::size_t size, std::align_val_t align,
                               const std::nothrow_t&) noexcept {
    return Allocate(size, Align(align));
}
void JsonSchema::operator delete(void* p) noexcept {
    Free(p);
}
void JsonSchema::operator delete(void* p, std::size_t) noexcept {
    Free(p);
}
void JsonSchema::operator delete(void* p, std::align_val_t align) noexcept {
    Free(p, align);
}
void JsonSchema::operator delete(void* p, std::size_t, std::align_val_t align) noexcept {
    Free(p, align);
}
void JsonSchema::operator delete(void* p, const std::nothrow_t&) noexcept {
    Free(p);
}
void JsonSchema::operator delete(void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
    Free(p, align);
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
