/* A library that is not a plug-in: it lacks CreateDLLFunction. Written in C
   so that the build proves the contract's header is plain C. */
#include <quorlen/exporter.h>

__attribute__((visibility("default"))) int QuorlenSomethingElse(const QuorlenGuid* iid) {
    return iid ? (int)iid->Data1 : QUORLEN_E_NOINTERFACE;
}
