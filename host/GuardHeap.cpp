#include "host/GuardHeap.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <map>

namespace {

const size_t PageBytes = 4096;
const size_t Alignment = 16;

struct Block {
    char* base;        // the reservation: the block's pages, then the guard page
    size_t pagesBytes; // the block's pages alone
    size_t size;
    bool freed;
};

// By block address; freed blocks stay, so that a fault in one can be named.
std::map<const char*, Block>& blocks() {
    static std::map<const char*, Block> all;
    return all;
}

size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}

// What address lies in: "freed memory (a 12-byte block)" or "past the end
// of a live 12-byte block"; empty outside this heap.
std::string describe(const void* address) {
    const char* at = static_cast<const char*>(address);
    for (const std::pair<const char* const, Block>& entry : blocks()) {
        const Block& block = entry.second;
        if (at < block.base || at >= block.base + block.pagesBytes + PageBytes) {
            continue;
        }
        std::string size = std::to_string(block.size) + "-byte block";
        if (block.freed) {
            return "freed memory (a " + size + ")";
        }
        return at >= block.base + block.pagesBytes ? "past the end of a live " + size : "";
    }
    return "";
}

}  // namespace

void* guardAllocate(size_t size) {
    size_t span = roundUp(size != 0 ? size : 1, Alignment);
    size_t pagesBytes = roundUp(span, PageBytes);
    char* base = static_cast<char*>(VirtualAlloc(NULL, pagesBytes + PageBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base == NULL) {
        return NULL;
    }
    DWORD old = 0;
    VirtualProtect(base + pagesBytes, PageBytes, PAGE_NOACCESS, &old);
    char* block = base + pagesBytes - span;
    blocks()[block] = Block{base, pagesBytes, size, false};
    return block;
}

bool guardRelease(void* pointer) {
    std::map<const char*, Block>::iterator found = blocks().find(static_cast<const char*>(pointer));
    if (found == blocks().end()) {
        return false;
    }
    if (found->second.freed) {
        // Freed twice: fault here, as a touch of freed memory, so it is named.
        *static_cast<volatile char*>(pointer) = 0;
        return true;
    }
    // Decommitted but still reserved: inaccessible, and never reused.
    VirtualFree(found->second.base, found->second.pagesBytes, MEM_DECOMMIT);
    found->second.freed = true;
    return true;
}

size_t guardBlockSize(const void* pointer) {
    std::map<const char*, Block>::const_iterator found = blocks().find(static_cast<const char*>(pointer));
    return found != blocks().end() && !found->second.freed ? found->second.size : 0;
}

std::string guardFault(const EXCEPTION_RECORD& record) {
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) {
        return "";
    }
    const void* address = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    std::string what = describe(address);
    if (what.empty()) {
        return "";
    }
    char at[32];
    snprintf(at, sizeof at, " at %p", address);
    return (record.ExceptionInformation[0] == 0 ? "read of " : "write of ") + what + at;
}
