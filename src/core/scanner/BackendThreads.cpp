#include "core/scanner/BackendThreads.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>

namespace quorlen {

void KeepBackendCancellationDeferred() {
    // The replacement below is found by the loader through the symbol table;
    // this call only makes sure the object holding it is linked in.
    static volatile int linked = 0;
    linked = 1;
}

int DeferredCancelType(int requested) {
    return requested == PTHREAD_CANCEL_ASYNCHRONOUS ? PTHREAD_CANCEL_DEFERRED : requested;
}

}  // namespace quorlen

extern "C" int pthread_setcanceltype(int type, int* oldtype) {
    using TSetCancelType = int (*)(int, int*);
    static const auto next = reinterpret_cast<TSetCancelType>(dlsym(RTLD_NEXT, "pthread_setcanceltype"));
    if (!next) return ENOSYS;
    return next(quorlen::DeferredCancelType(type), oldtype);
}
