// What the DLL takes from the statically linked C++ runtime at its very end: std::terminate.
//
// The runtime's default terminate handler prints the type of the exception in flight to the
// standard error stream, demangling its name first; the demangler alone is a sixth of the DLL.
// Inside the player nobody reads that stream, and nothing is meant to reach terminate anyway:
// every entry keeps its failures inside (Guarded). So the handler ends the process at once, as
// a runtime built without the verbose handler would. Lives for the process, holds no state.
#include <cstdlib>
#include <cxxabi.h>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
