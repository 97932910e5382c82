#pragma once
// What the C++ runtime creates for itself and never releases (see RuntimeLocks.cpp).
namespace RuntimeLocks {

// Closes the runtime's semaphores and frees its thread-local storage slots.
// Called last when the host frees the library: nothing of the image runs on
// another thread then, so no lock is contended and no slot read again.
void ReleaseAtUnload();

} // namespace RuntimeLocks
