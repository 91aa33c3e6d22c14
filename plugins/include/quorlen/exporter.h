/*
 * Quorlen exporter plug-in contract.
 *
 * A plug-in is a shared library named QuorlenExporter.so. Quorlen looks for it,
 * in this order, and loads the first one that exists:
 *   1. QuorlenExporter.so in the data folder ($QUORLEN_DATA_DIR, else
 *      $XDG_DATA_HOME/Brenvik/quorlen, else ~/.local/share/Brenvik/quorlen);
 *   2. DLLka/QuorlenExporter.so beside the program's executable;
 *   3. ../lib/quorlen/QuorlenExporter.so relative to the executable (the
 *      installed plug-in folder, <prefix>/lib/quorlen).
 *
 * Objects. An object is a pointer to a table of function pointers. The first
 * three entries of every table are QueryInterface, AddRef and Release; every
 * function takes the object pointer first; all use the platform's default C
 * calling convention.
 *
 * Strings are zero-terminated UTF-16 (char16_t).
 *
 * Entry point. The library exports, with C linkage:
 *     void CreateDLLFunction(void** outExporter, void* memoryManager);
 * It sets *outExporter to its IDLLFunction object carrying one reference for
 * the host. memoryManager is the host's IMemoryManager, lent for the duration
 * of the call only: a plug-in that wants to answer later calls MUST AddRef it
 * there (and Release it when it no longer needs it, at the latest in
 * Shutdown). Without that reference the host's memory manager dies at once and
 * the host skips every later call.
 *
 * Calls. The host calls Execute(self, method, params) with a method name and a
 * compact JSON object as text (params is NULL when the call has none). Both
 * strings belong to the host and are valid only during the call. The answer is
 * JSON text which the plug-in writes into the host's buffer:
 *     char16_t* buf = mm->GetBuffer(mm, (int32_t)((length + 1) * 2));
 *     copy the UTF-16 text to buf, then a zero character.
 * Ownership: the buffer is the host's; the plug-in never frees it. Its address
 * may change whenever it grows, so take it anew from GetBuffer on every call.
 * The host never clears it, so the answer is re-written in full on every call.
 *
 * Methods:
 *   "GetSaveFileType", no params. Answer: an array of objects, in the order
 *       they are offered: {"FilterName": "...", "Filter": "*.ext"} for a file
 *       type, {"Virtual": true, "DeviceName": "..."} for a device.
 *   "SaveToFile", {"Method": n, "FileName": "...", "Wyniki": {...}}: n counts
 *       the file types from 1. Answer {"Error": 0} or {"Error": e, "ErrorStr":
 *       "..."} (shown to the operator when e is not 0).
 *   "SaveVirtual", {"Method": n, "Wyniki": {...}}: n counts the devices from 0.
 *       Answer as for "SaveToFile"; a success may name where the results
 *       went, {"Error": 0, "Location": "/path/to/database"}, which the host
 *       shows in its confirmation.
 *   Shutdown(self) is called once before the library is unloaded.
 *
 * Scores. "Wyniki" is the results document. When it was scored against an
 * answer key it carries the key at the root ("Klucz"), each entry of "Lista"
 * its "Wersja", "Punkty", "Max", "Procent" (one decimal), "Ocena" (and
 * "Uwagi" when the score needs a look; an entry whose "Status" is not 0 was
 * not read to its end and has null "Punkty", "Procent" and "Ocena", with the
 * reason in "Uwagi"), and the host adds the class figures
 * under "Analiza": "N", "Mean", "Median", "StdDev", "Min", "Max",
 * "MeanPercent", "MaxPoints", "KR20", "Uwagi" (which codes stand on several
 * sheets and count once; empty when none) and "Questions", one object per question
 * with "Number", "Key", "Points", "Annulled", "Answered", "P" (share of full
 * points), "D" (top 27 % minus bottom 27 %), "PointBiserial", "Letters"
 * (counts of A, B, ...), "Blank", "Double", the flags "TooHard" (p < 0.2),
 * "TooEasy" (p > 0.9), "WeakItem" (D < 0.2) and "Uwagi" (the flags in
 * words). A figure that cannot be computed is null. A document without
 * "Klucz" has none of these keys.
 *
 * Threads: every call comes from one thread, one at a time.
 *
 * Exceptions: nothing may leave a plug-in's function by an exception (C++ or
 * otherwise). A C++ plug-in catches everything in each entry and answers with
 * an Error instead; the host does not survive an exception thrown across the
 * boundary.
 */
#ifndef QUORLEN_EXPORTER_H
#define QUORLEN_EXPORTER_H

#include <stdint.h>

#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QuorlenGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} QuorlenGuid;

/* IUnknown: {00000000-0000-0000-C000-000000000046} */
#define QUORLEN_IID_IUNKNOWN_INIT \
    { 0x00000000u, 0x0000u, 0x0000u, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } }
/* IMemoryManager: {6F1D3A52-8E47-4C1B-9A2E-51B0C7D4E3A9} */
#define QUORLEN_IID_IMEMORYMANAGER_INIT \
    { 0x6F1D3A52u, 0x8E47u, 0x4C1Bu, { 0x9A, 0x2E, 0x51, 0xB0, 0xC7, 0xD4, 0xE3, 0xA9 } }

/* QueryInterface results. */
#define QUORLEN_S_OK 0
#define QUORLEN_E_NOINTERFACE 1

typedef struct QuorlenMemoryManagerVtbl {
    int32_t (*QueryInterface)(void* self, const QuorlenGuid* iid, void** out);
    uint32_t (*AddRef)(void* self);
    uint32_t (*Release)(void* self);
    /* Grows the buffer to exactly size bytes when it is smaller (content
       kept) and returns its current address in every case. */
    char16_t* (*GetBuffer)(void* self, int32_t size);
} QuorlenMemoryManagerVtbl;

typedef struct QuorlenMemoryManager {
    const QuorlenMemoryManagerVtbl* Vtbl;
} QuorlenMemoryManager;

typedef struct QuorlenDLLFunctionVtbl {
    int32_t (*QueryInterface)(void* self, const QuorlenGuid* iid, void** out);
    uint32_t (*AddRef)(void* self);
    uint32_t (*Release)(void* self);
    void (*Execute)(void* self, const char16_t* method, const char16_t* params);
    void (*Shutdown)(void* self);
} QuorlenDLLFunctionVtbl;

typedef struct QuorlenDLLFunction {
    const QuorlenDLLFunctionVtbl* Vtbl;
} QuorlenDLLFunction;

/* The library's one exported function. */
typedef void (*QuorlenCreateDLLFunction)(void** outExporter, void* memoryManager);
#define QUORLEN_ENTRY_POINT "CreateDLLFunction"

#ifdef __cplusplus
}
#endif

#endif /* QUORLEN_EXPORTER_H */
