// The C runtime's heap as the module uses it.

#include "host/calls/HostCalls.h"

#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include "host/GuardHeap.h"

namespace {

// With guardHeap, the module's new blocks come from the guard heap, where a
// touch of a freed block faults at once; a block goes back to the heap it
// came from, whichever host is active by then.

void* allocated(void* block) {
    if (block != nullptr) {
        host().liveAllocations.insert(block);
    }
    return block;
}

void* newBlock(size_t size, bool zeroed) {
    if (host().guardHeap) {
        return guardAllocate(size);
    }
    return zeroed ? calloc(1, size) : malloc(size);
}

void releaseBlock(void* block) {
    if (!guardRelease(block)) {
        free(block);
    }
}

void* __cdecl hostMalloc(size_t size) {
    recordCall(TraceEvent::Heap, "malloc", nullptr, size);
    return NIGHTCAP_FAILS(malloc) ? nullptr : allocated(newBlock(size, false));
}

void* __cdecl hostCalloc(size_t count, size_t size) {
    recordCall(TraceEvent::Heap, "calloc", nullptr, count * size);
    if (NIGHTCAP_FAILS(calloc) || (size != 0 && count > static_cast<size_t>(-1) / size)) {
        return nullptr;
    }
    return allocated(newBlock(count * size, true));
}

void* __cdecl hostRealloc(void* block, size_t size) {
    recordCall(TraceEvent::Heap, "realloc", nullptr, size);
    if (NIGHTCAP_FAILS(realloc)) {
        return nullptr;
    }
    size_t guarded = block != nullptr ? guardBlockSize(block) : 0;
    if (guarded == 0 && block != nullptr && !host().guardHeap) {
        void* moved = realloc(block, size);
        if (moved != nullptr || size == 0) {
            host().liveAllocations.erase(block);
        }
        return allocated(moved);
    }
    // Into a new block, so that the old one's addresses fault from now on.
    if (block != nullptr && size == 0) {
        host().liveAllocations.erase(block);
        releaseBlock(block);
        return nullptr;
    }
    void* moved = newBlock(size, false);
    if (moved != nullptr && block != nullptr) {
        size_t old = guarded != 0 ? guarded : _msize(block);
        memcpy(moved, block, old < size ? old : size);
        host().liveAllocations.erase(block);
        releaseBlock(block);
    }
    return allocated(moved);
}

void __cdecl hostFree(void* block) {
    recordCall(TraceEvent::Heap, "free");
    NIGHTCAP_FAILS(free);  // counted; freeing cannot fail
    host().liveAllocations.erase(block);
    releaseBlock(block);
}

}  // namespace

const Replacement HeapReplacements[] = {
    NIGHTCAP_REPLACE("malloc", hostMalloc),
    NIGHTCAP_REPLACE("calloc", hostCalloc),
    NIGHTCAP_REPLACE("realloc", hostRealloc),
    NIGHTCAP_REPLACE("free", hostFree),
};
NIGHTCAP_CALL_TABLE(HeapCalls, HeapReplacements);
