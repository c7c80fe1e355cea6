// Node allocator: size classes carved from per-thread blocks, and the node operators.
#include "core/detail/node_allocator.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/detail/cold.h"
#include "json_schema.h"

// Sanitizers and memory checkers must see every node: whatever enabled them, the blocks are off.
#if !defined(WEBJSON_NODE_ALLOCATOR) || !WEBJSON_NODE_ALLOCATOR
#define WEBJSON_PLAIN_NODES 1
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

#if defined(WEBJSON_PLAIN_NODES)

bool Enabled() {
    return false;
}
// The throwing global forms, which a program may replace: the same ones as the plain delete that
// frees the node (the nothrow forms may bypass a replacement, under a sanitizer for one).
void* Allocate(std::size_t size, std::size_t align) noexcept {
    try {
        if (align <= __STDCPP_DEFAULT_NEW_ALIGNMENT__) return ::operator new(size);
        return ::operator new(size, std::align_val_t(align));
    } catch (...) {
        return nullptr;
    }
}
void Free(void* p) noexcept {
    ::operator delete(p);
}

#else

namespace {

// A block is a plain malloc of kBlockSize bytes, with no alignment asked of the C library:
// aligned requests leave fragments that later ones cannot use, so the heap grew and shrank
// (and pages were faulted in again) on every large document. A node finds its block through
// the tag at the start of its kPage page: a pointer to the block's head, which lies on the
// block's first page boundary. Slots never cross a page boundary.
constexpr std::size_t kBlockSize = 32 * 1024;
constexpr std::size_t kPage = 4096;
constexpr std::size_t kTag = 16;  // room of a page's tag; slots after it lie on 16 bytes
// Slot sizes are multiples of 8 bytes. A page's first slot lies on the lowest power of two
// that divides the slot size (16 to kMaxAlign), so slots of a size that is a multiple of an
// alignment lie on it; a type's size is a multiple of its alignment, so every node gets the
// alignment it asks for.
constexpr std::size_t kGrain = 8;
constexpr std::size_t kMaxSlot = 512;
constexpr std::size_t kClasses = kMaxSlot / kGrain + 1;
constexpr std::size_t kMaxAlign = 64;
constexpr std::size_t kHeader = 128;

struct Cache;

// The head of every block. Owner-only fields are touched by the owning thread alone; another
// thread reads owner, pushes onto remote and counts down balance.
struct Block {
    explicit Block(void* memory) : chunk(memory) {}

    Block* self = this;  // the tag of the page the head lies on
    // Null once handed over at the owner's exit. Read and written with the atomic builtins,
    // which -Os inlines where it would call std::atomic's functions.
    Cache* owner = nullptr;
    // Before handover: minus the remote frees the owner has not counted yet. After it: the
    // nodes still live; the thread that frees the last one frees the block.
    std::atomic<std::int32_t> balance{0};
    std::uint32_t slot = 0;  // slot size; 0 for one large allocation
    std::int32_t live = 0;   // owner: slots handed out, less those freed and counted
    enum List : std::uint8_t { kCurrent, kPartial, kFull } list = kCurrent;
    void* free = nullptr;                // owner: free slots
    char* bump = nullptr;                // owner: the next slot of the page being carved
    char* limit = nullptr;               // owner: the end of that page
    std::atomic<void*> remote{nullptr};  // slots freed by other threads, linked by first word
    void* chunk;                         // what the C library gave
    Block* prev = nullptr;               // owner: neighbours in the class's list
    Block* next = nullptr;
};
static_assert(sizeof(Block) <= kHeader, "block head fits its room");

// One thread's blocks of one size class: the one being carved, those with free slots, the
// rest. The full ones are searched for remote frees only when that is cheap against what it
// may bring: after the class doubled its blocks, or after at least one remote free per block.
struct Class {
    Block* current = nullptr;
    Block* partial = nullptr;
    Block* full = nullptr;
    std::size_t blocks = 0;
    std::size_t sweep_at = 8;
    std::uint32_t remote_seen = 0;
};

// A thread's classes. Caches are never freed but kept for the next thread, so that a thread
// freeing a node remotely may count it in the owner's cache even while the owner exits.
struct Cache {
    Class classes[kClasses];
    std::atomic<std::uint32_t> remote[kClasses] = {};  // remote frees, counted by the freers
    Cache* next_spare = nullptr;
};

// The initial-exec model reads the pointer at a fixed offset instead of calling the dynamic
// TLS resolver on every node; one pointer fits the static TLS room kept even for dlopen.
#if defined(__GNUC__)
__attribute__((tls_model("initial-exec")))
#endif
thread_local Cache* t_cache = nullptr;
pthread_key_t g_key;
bool g_key_made = false;
pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_mutex_t g_spare_lock = PTHREAD_MUTEX_INITIALIZER;
Cache* g_spare = nullptr;  // caches of exited threads

Cache* Dead() {
    return reinterpret_cast<Cache*>(std::uintptr_t{1});
}

Block* BlockOf(void* p) {
    Block* b;
    std::memcpy(&b, reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) & ~(kPage - 1)),
                sizeof b);
    return b;
}

// The block's head put on the first page boundary of memory, which has at least kPage bytes.
Block* MakeBlock(void* memory) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(memory);
    return new (reinterpret_cast<void*>((at + kPage - 1) & ~(kPage - 1))) Block(memory);
}

void* Next(void* slot) {
    void* next;
    std::memcpy(&next, slot, sizeof next);
    return next;
}
void SetNext(void* slot, void* next) {
    std::memcpy(slot, &next, sizeof next);
}

void Release(Block* b) {
    void* chunk = b->chunk;
    b->~Block();
    std::free(chunk);
}

Block** Head(Class& c, Block::List list) {
    return list == Block::kPartial ? &c.partial : &c.full;
}
void Unlink(Class& c, Block* b) {
    if (b->list == Block::kCurrent) {
        c.current = nullptr;
        return;
    }
    if (b->prev) {
        b->prev->next = b->next;
    } else {
        *Head(c, b->list) = b->next;
    }
    if (b->next) b->next->prev = b->prev;
    b->prev = b->next = nullptr;
}
void Link(Class& c, Block* b, Block::List list) {
    b->list = list;
    if (list == Block::kCurrent) {
        c.current = b;
        return;
    }
    Block** head = Head(c, list);
    b->prev = nullptr;
    b->next = *head;
    if (*head) (*head)->prev = b;
    *head = b;
}

// Takes the remote frees into the owner's free list and count.
bool Collect(Block* b) {
    if (b->remote.load(std::memory_order_relaxed) == nullptr) return false;
    void* list = b->remote.exchange(nullptr, std::memory_order_acquire);
    b->live += b->balance.exchange(0, std::memory_order_acq_rel);
    void* tail = list;
    while (Next(tail) != nullptr)
        tail = Next(tail);
    SetNext(tail, b->free);
    b->free = list;
    return true;
}

// Owner gives the block up: freed now when empty, otherwise by its last node's free.
void HandOver(Block* b) {
    __atomic_store_n(&b->owner, nullptr, __ATOMIC_RELEASE);
    if (b->balance.fetch_add(b->live, std::memory_order_acq_rel) + b->live == 0) Release(b);
}

void ThreadExit(void* arg) {
    Cache* cache = static_cast<Cache*>(arg);
    t_cache = Dead();
    for (Class& c : cache->classes) {
        if (c.current) HandOver(c.current);
        for (Block* list : {c.partial, c.full}) {
            while (list) {
                Block* next = list->next;
                HandOver(list);
                list = next;
            }
        }
        c = Class();
    }
    pthread_mutex_lock(&g_spare_lock);
    cache->next_spare = g_spare;
    g_spare = cache;
    pthread_mutex_unlock(&g_spare_lock);
}

void MakeKey() {
    g_key_made = pthread_key_create(&g_key, ThreadExit) == 0;
}

// The calling thread's cache, made on first use; null once the thread is exiting.
Cache* ThisCache() {
    Cache* cache = t_cache;
    if (cache != nullptr) return cache == Dead() ? nullptr : cache;
    pthread_once(&g_once, MakeKey);
    if (!g_key_made) return nullptr;
    pthread_mutex_lock(&g_spare_lock);
    cache = g_spare;
    if (cache != nullptr) g_spare = cache->next_spare;
    pthread_mutex_unlock(&g_spare_lock);
    if (cache == nullptr) {
        void* mem = std::malloc(sizeof(Cache));
        if (mem == nullptr) return nullptr;
        cache = new (mem) Cache();
    }
    for (std::size_t i = 0; i < kClasses; ++i)
        cache->classes[i].remote_seen = cache->remote[i].load(std::memory_order_relaxed);
    if (pthread_setspecific(g_key, cache) != 0) {
        pthread_mutex_lock(&g_spare_lock);
        cache->next_spare = g_spare;
        g_spare = cache;
        pthread_mutex_unlock(&g_spare_lock);
        return nullptr;
    }
    t_cache = cache;
    return cache;
}

// A node too large or too aligned for the classes, or made while the thread exits: a block of
// its own, freed with it. The node starts on the head's page.
void* Large(std::size_t size, std::size_t align) {
    const std::size_t offset = align > kHeader ? align : kHeader;
    if (offset >= kPage || size > SIZE_MAX - offset) return nullptr;
    void* mem = nullptr;
    if (posix_memalign(&mem, kPage, offset + size) != 0) return nullptr;
    return reinterpret_cast<char*>(MakeBlock(mem)) + offset;
}

void Sweep(Class& c, std::uint32_t remote) {
    c.remote_seen = remote;
    for (Block* b = c.full; b != nullptr;) {
        Block* next = b->next;
        if (Collect(b)) {
            Unlink(c, b);
            if (b->live == 0) {
                --c.blocks;
                Release(b);
            } else {
                Link(c, b, Block::kPartial);
            }
        }
        b = next;
    }
    c.sweep_at = c.blocks * 2 > 8 ? c.blocks * 2 : 8;
}

// Carving moves on to the block's next page, whose tag it writes; false when the block has no
// room left for a slot.
bool NextPage(Block* b) {
    char* end = static_cast<char*>(b->chunk) + kBlockSize;
    char* page = b->limit;  // a page boundary, or the end
    std::size_t lead = b->slot & (0 - std::size_t{b->slot});
    lead = lead < kTag ? kTag : lead > kMaxAlign ? kMaxAlign : lead;
    if (static_cast<std::size_t>(end - page) < lead + b->slot) return false;
    std::memcpy(page, &b, sizeof b);
    b->bump = page + lead;
    b->limit = static_cast<std::size_t>(end - page) > kPage ? page + kPage : end;
    return true;
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

// The current block has no slot left: its remote frees, another block with free slots, or a
// new block.
void* Refill(Cache* cache, std::size_t cls) {
    Class& c = cache->classes[cls];
    if (Block* b = c.current) {
        if (Collect(b)) return Pop(b);
        Unlink(c, b);
        Link(c, b, Block::kFull);
    }
    if (c.partial == nullptr) {
        const std::uint32_t remote = cache->remote[cls].load(std::memory_order_relaxed);
        if (c.blocks >= c.sweep_at || (c.blocks > 0 && remote - c.remote_seen >= c.blocks)) {
            Sweep(c, remote);
        }
    }
    if (Block* b = c.partial) {
        Unlink(c, b);
        Link(c, b, Block::kCurrent);
        return Pop(b);
    }
    void* mem = std::malloc(kBlockSize);
    if (mem == nullptr) return nullptr;
    Block* b = MakeBlock(mem);
    __atomic_store_n(&b->owner, cache, __ATOMIC_RELAXED);
    b->slot = static_cast<std::uint32_t>(cls * kGrain);
    b->bump = reinterpret_cast<char*>(b) + kHeader;
    b->limit = reinterpret_cast<char*>(b) + kPage;
    ++c.blocks;
    Link(c, b, Block::kCurrent);
    return Carve(b);
}

void FreeRemote(Block* b, void* p) {
    const std::size_t cls = b->slot / kGrain;
    void* head = b->remote.load(std::memory_order_relaxed);
    do {
        SetNext(p, head);
    } while (!b->remote.compare_exchange_weak(head, p, std::memory_order_release,
                                              std::memory_order_relaxed));
    // Read before the count: the block may be gone after it (the cache never is).
    Cache* owner = __atomic_load_n(&b->owner, __ATOMIC_ACQUIRE);
    if (b->balance.fetch_sub(1, std::memory_order_acq_rel) == 1) Release(b);
    if (owner != nullptr) owner->remote[cls].fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

bool Enabled() {
    return true;
}

namespace {

// Everything but a plain node taken from its class's current block: other alignments, large
// nodes, the thread's first node and a current block used up.
WEBJSON_COLD void* AllocateSlow(std::size_t size, std::size_t align) noexcept {
    // Slots of a size that is a multiple of the alignment lie on that alignment, up to
    // kMaxAlign.
    if (align > kGrain && align <= kMaxAlign) size = (size + align - 1) & ~(align - 1);
    static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ <= kTag, "plain nodes need at most 16 bytes");
    if (align >= kPage) {  // no page tag could precede it: the global form, freed by Give
        try {
            return ::operator new(size, std::align_val_t(align));
        } catch (...) {
            return nullptr;
        }
    }
    if (size > kMaxSlot || align > kMaxAlign) return Large(size, align);
    Cache* cache = ThisCache();
    if (cache == nullptr) return Large(size, align);
    const std::size_t cls = size == 0 ? 1 : (size + kGrain - 1) / kGrain;
    if (Block* b = cache->classes[cls].current) {
        if (b->free != nullptr) return Pop(b);
        if (static_cast<std::size_t>(b->limit - b->bump) >= b->slot || NextPage(b)) {
            return Carve(b);
        }
    }
    return Refill(cache, cls);
}

// A free that changes a block's list or frees it, or one from another thread.
WEBJSON_COLD void FreeSlow(Block* b, void* p) noexcept {
    if (b->slot == 0) {
        Release(b);
        return;
    }
    Cache* cache = t_cache;
    if (cache == nullptr || __atomic_load_n(&b->owner, __ATOMIC_RELAXED) != cache) {
        FreeRemote(b, p);
        return;
    }
    SetNext(p, b->free);
    b->free = p;
    --b->live;
    if (b->list == Block::kCurrent) return;
    Class& c = cache->classes[b->slot / kGrain];
    if (b->live + b->balance.load(std::memory_order_relaxed) == 0) {
        std::atomic_thread_fence(std::memory_order_acquire);
        Unlink(c, b);
        --c.blocks;
        Release(b);
    } else if (b->list == Block::kFull) {
        Unlink(c, b);
        Link(c, b, Block::kPartial);
    }
}

}  // namespace

// The common case in a few instructions: a plain node from the current block of its class on
// a thread that has its cache.
void* Allocate(std::size_t size, std::size_t align) noexcept {
    Cache* cache = t_cache;
    if (align <= kGrain && size - 1 < kMaxSlot &&
        reinterpret_cast<std::uintptr_t>(cache) > reinterpret_cast<std::uintptr_t>(Dead())) {
        if (Block* b = cache->classes[(size + kGrain - 1) / kGrain].current) {
            if (b->free != nullptr) return Pop(b);
            if (static_cast<std::size_t>(b->limit - b->bump) >= b->slot) return Carve(b);
        }
    }
    return AllocateSlow(size, align);
}

// The common case: the owner frees a node of a block that stays on its list.
void Free(void* p) noexcept {
    if (p == nullptr) return;
    Block* b = BlockOf(p);
    Cache* cache = t_cache;
    // A large node's block has no owner.
    if (cache != nullptr && __atomic_load_n(&b->owner, __ATOMIC_RELAXED) == cache &&
        (b->list == Block::kCurrent ||
         (b->list == Block::kPartial &&
          b->live > 1 - b->balance.load(std::memory_order_relaxed)))) {
        SetNext(p, b->free);
        b->free = p;
        --b->live;
        return;
    }
    FreeSlow(b, p);
}

#endif

}  // namespace node_allocator

// The node operators: every form of the global ones, served by the allocator above.
namespace {

using node_allocator::Allocate;

std::size_t Align(std::align_val_t align) {
    return static_cast<std::size_t>(align);
}

void* Take(std::size_t size, std::size_t align) {
    if (void* p = Allocate(size, align)) return p;
    throw std::bad_alloc();
}

void Give(void* p, std::size_t align) noexcept {
#if defined(WEBJSON_PLAIN_NODES)
    if (align <= __STDCPP_DEFAULT_NEW_ALIGNMENT__) {
        ::operator delete(p);
    } else {
        ::operator delete(p, std::align_val_t(align));
    }
#else
    if (align >= node_allocator::kPage) {
        ::operator delete(p, std::align_val_t(align));
    } else {
        node_allocator::Free(p);
    }
#endif
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
    Give(p, kPlain);
}
void JsonSchema::operator delete(void* p, std::size_t) noexcept {
    Give(p, kPlain);
}
void JsonSchema::operator delete(void* p, std::align_val_t align) noexcept {
    Give(p, Align(align));
}
void JsonSchema::operator delete(void* p, std::size_t, std::align_val_t align) noexcept {
    Give(p, Align(align));
}
void JsonSchema::operator delete(void* p, const std::nothrow_t&) noexcept {
    Give(p, kPlain);
}
void JsonSchema::operator delete(void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
    Give(p, Align(align));
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
