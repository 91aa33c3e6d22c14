// A library that is not a plug-in: it lacks CreateDLLFunction.
extern "C" __attribute__((visibility("default"))) int QuorlenSomethingElse() { return 42; }
