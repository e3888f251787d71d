#pragma once

// The C library keeps the memory the app frees for its next allocations and gives little of it
// back by itself: what a worker thread freed, and whatever lies below a block still in use,
// stays with the process for good. Pages of files mapped to be read (MappedFile) stay too, once
// touched. This hands both back, at the points where the app has just let go of much and waits
// for its user.
namespace MemoryGiveBack {

// Hands every wholly free page of the heaps (of every thread) back to the system, and lets go
// of the pages of mapped files (read again from the file, or the system's cache of it, when
// next touched). It walks the heaps and takes some milliseconds: for idle points, never for a
// hot path.
void giveBack();

} // namespace MemoryGiveBack
