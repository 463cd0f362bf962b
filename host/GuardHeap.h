#pragma once
// A heap for the module's blocks in which a late touch faults at once: every
// block has pages of its own, ends right before an inaccessible page, and is
// made inaccessible for good when freed (its addresses are never handed out
// again). So a read or write of freed memory, or past a block's end, stops
// at the instruction that makes it, and the fault can be named, instead of
// corrupting the usual heap for a crash much later somewhere else.
//
// One per process: a block may be freed by a later host than the one that
// allocated it.

#include <windows.h>
#include <stddef.h>

#include <string>

// A zeroed block of size bytes (at least one), 16-byte aligned; NULL when
// the system refuses the pages.
void* guardAllocate(size_t size);
// Frees a block of this heap and returns true (a block freed twice faults as a
// touch of freed memory); false for any other pointer, which is left alone.
bool guardRelease(void* block);
// The size of a live block of this heap; 0 for any other pointer.
size_t guardBlockSize(const void* block);
// For a fault report: "read of freed memory (a 12-byte block) at 0x..." or
// "write past the end of a live 12-byte block at 0x..." when the access
// violation in record touched this heap; empty otherwise.
std::string guardFault(const EXCEPTION_RECORD& record);
