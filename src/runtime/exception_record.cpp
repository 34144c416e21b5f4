// What the DLL takes from the statically linked C++ runtime for each thread that throws: the
// record of the exceptions it has in flight (__cxa_get_globals), and the DLL's entry point that
// keeps those records.
//
// The runtime keeps the record in emulated thread-local storage. Its first use, the first
// exception a loaded copy of the DLL throws (memory running out, say), makes a key of the
// threads library, and with it a lock of two semaphores that nothing closes: every load in which
// something was thrown left two kernel handles and the records in the player after FreeLibrary.
// Here the record lives in a TLS slot of the DLL's own, taken at load and given back at unload;
// a thread's record is made on its first throw and freed when the thread ends or the DLL is
// unloaded, whichever comes first.
#include <windows.h>

#include <cxxabi.h>

namespace __cxxabiv1 {

struct __cxa_exception;
// The runtime's layout of the record (its own header is not installed).
struct __cxa_eh_globals {
  __cxa_exception* caughtExceptions;
  unsigned int uncaughtExceptions;
};

}  // namespace __cxxabiv1

namespace {

using Record = __cxxabiv1::__cxa_eh_globals;

DWORD RecordSlot = TLS_OUT_OF_INDEXES;  // from load to unload
// For a thread whose record cannot be made (no slot, or no memory): shared, so two such threads
// throwing at once would mix their records; one that can throw at all gets past it.
Record SharedRecord;

Record* ThreadRecord() {
  if (RecordSlot == TLS_OUT_OF_INDEXES) return &SharedRecord;
  auto* record = static_cast<Record*>(TlsGetValue(RecordSlot));
  if (record) return record;
  record = static_cast<Record*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Record)));
  if (!record || !TlsSetValue(RecordSlot, record)) {
    if (record) HeapFree(GetProcessHeap(), 0, record);
    return &SharedRecord;
  }
  return record;
}

void FreeThreadRecord() {
  if (RecordSlot == TLS_OUT_OF_INDEXES) return;
  auto* record = static_cast<Record*>(TlsGetValue(RecordSlot));
  if (!record) return;
  TlsSetValue(RecordSlot, nullptr);
  HeapFree(GetProcessHeap(), 0, record);
}

}  // namespace

namespace __cxxabiv1 {

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
  return ThreadRecord();
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept {
  return ThreadRecord();
}

}  // namespace __cxxabiv1

// Called by the runtime's own entry point, after it has set itself up at load and before it
// tears itself down at unload. A record is empty whenever the thread is not inside a catch.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      RecordSlot = TlsAlloc();
      break;
    case DLL_THREAD_DETACH:
      FreeThreadRecord();
      break;
    case DLL_PROCESS_DETACH:
      // Only the unloading thread's record can be reached; another thread's that has not ended
      // stays with the process (a few bytes, and only if that thread threw).
      FreeThreadRecord();
      if (RecordSlot != TLS_OUT_OF_INDEXES) TlsFree(RecordSlot);
      RecordSlot = TLS_OUT_OF_INDEXES;
      break;
  }
  return TRUE;
}
