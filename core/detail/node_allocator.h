// Allocator of schema nodes (internal to the library).
//
// Nodes are small and made and freed by the hundred thousand on every read, so they come from
// per-thread free lists, one per size class, carved from blocks of 32 KiB of slots taken with
// plain malloc. A map from page to block (the page map) tells the library's blocks from any other
// memory, so that a node whose memory came from elsewhere (a class with an operator new of its
// own, the global operator new) is handed to the global operator delete.
//
// A block belongs to the thread that carved it. Each thread carves from one block per size class
// (its current block) and frees into it without atomic operations. Every other block counts its
// live nodes in an atomic word: a node freed by another thread goes to the block's lock-free list
// of remote frees at once, and its owner's own frees into such blocks are handed over in batches,
// one block per size class held back at a time. Whichever thread frees a block's last node gives
// the block back to the C library, owner or not, whether or not the owner ever makes a node again.
// A thread that exits hands its blocks over the same way.
//
// Built without it (WEBJSON_NODE_ALLOCATOR off, or under a sanitizer unless asked for) every node
// comes from the global operator new, so that memory checkers see each one.
#ifndef WEBJSON_NODE_ALLOCATOR_H
#define WEBJSON_NODE_ALLOCATOR_H

#include <cstddef>
#include <new>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace node_allocator {

// Whether nodes come from the blocks in this build.
bool Enabled();
// size bytes aligned to align (at least the fundamental alignment), from a block or, for sizes
// and alignments the blocks do not serve, from the global operator new; null when out of memory.
void* Allocate(std::size_t size, std::size_t align) noexcept;
// Frees p, on any thread: into its block when one holds it, else with the global operator delete
// of the same form (memory from the global operator new, or from a class's own operator new).
void Free(void* p) noexcept;
void Free(void* p, std::align_val_t align) noexcept;

}  // namespace node_allocator
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_NODE_ALLOCATOR_H
