// What the DLL takes from the statically linked C++ runtime to run a thing once: pthread_once,
// which the runtime's start-up calls at every load (registering the DLL's unwind tables).
//
// The threads library's own pthread_once keeps a record of the calling thread in a TLS slot of
// its own, which it takes at the first call in each loaded copy of the DLL and never gives back:
// every load took one of the process's some 1,080 slots, and the load that found none aborted
// the player. The link sends every call here instead (--wrap=pthread_once), and this one needs
// no thread record: the first caller runs `init`, any other waits until it has (or runs it itself when it threw). The state lives
// in the caller's once-flag, as the library's does (0: not run yet, 1: done); stateless here.
#include <windows.h>

namespace {

constexpr LONG kNotRun = 0;  // the library's PTHREAD_ONCE_INIT
constexpr LONG kDone = 1;
constexpr LONG kRunning = 2;

}  // namespace

extern "C" int __wrap_pthread_once(volatile LONG* once, void (*init)(void)) {
  for (;;) {
    const LONG was = InterlockedCompareExchange(once, kRunning, kNotRun);
    if (was == kDone) return 0;
    if (was == kRunning) {
      SwitchToThread();  // another thread runs it
      continue;
    }
    try {
      init();
    } catch (...) {
      InterlockedExchange(once, kNotRun);  // not done: this or the next caller tries again
      throw;
    }
    InterlockedExchange(once, kDone);
    return 0;
  }
}
