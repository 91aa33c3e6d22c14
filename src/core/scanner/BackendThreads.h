#pragma once

namespace quorlen {

// Backends that read on a thread of their own (SANE's sanei_thread) switch
// that thread to asynchronous cancellation and cancel it on sane_cancel. A
// thread cancelled at an arbitrary instruction can die holding a malloc
// arena or the loader's lock, and then the join in sane_cancel or the next
// dlopen/dlclose waits forever: a jammed feeder hung the program. This
// program therefore provides pthread_setcanceltype itself (exported to the
// backends through the executable's dynamic symbol table) and turns every
// request for asynchronous cancellation into deferred cancellation, so a
// reader thread ends at its next read, write or sleep, which is where
// backend readers spend their time. Called by every SANE session so that
// the linker keeps the replacement in every program that can scan.
void KeepBackendCancellationDeferred();

// What the replacement turns a requested cancellation type into.
int DeferredCancelType(int requested);

}  // namespace quorlen
