// Allocator of schema nodes (internal to the library).
//
// Nodes are small and made and freed by the hundred thousand on every read, so they come from
// per-thread free lists, one per size class, carved from blocks of 32 KiB taken with plain malloc;
// each 4 KiB page of a block starts with a pointer to the block's head. A block belongs to the
// thread that carved it; a node freed by another thread goes to the block's lock-free list of
// remote frees, which the owner takes back when it runs short. A block whose nodes are all free
// goes back to the system allocator, except the one block per size class that a thread is carving
// from; at its exit a thread hands every block over: blocks still holding nodes are freed by
// whoever frees their last node.
//
// Built without it (WEBJSON_NODE_ALLOCATOR off, or under a sanitizer) every node comes from the
// global operator new, so that memory checkers see each one.
#ifndef WEBJSON_NODE_ALLOCATOR_H
#define WEBJSON_NODE_ALLOCATOR_H

#include <cstddef>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace node_allocator {

// Whether nodes come from the blocks in this build.
bool Enabled();
// size bytes aligned to align (at least the fundamental alignment); null when out of memory.
void* Allocate(std::size_t size, std::size_t align) noexcept;
// Frees what Allocate returned, on any thread; null is ignored.
void Free(void* p) noexcept;

}  // namespace node_allocator
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_NODE_ALLOCATOR_H
