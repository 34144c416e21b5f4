// What the DLL takes from the statically linked C++ runtime when a library call fails: the
// std::__throw_* helpers that the containers and std::function call.
//
// The runtime's own helpers throw std::length_error, std::out_of_range and their kin, whose
// messages are copy-on-write strings: one of them brings the runtime's whole second string
// implementation, and what that pulls in after it, into the DLL, a fifth of its size. Every
// entry catches whatever is thrown alike and drops the step (Guarded), so the type carries no
// meaning here; these helpers throw std::bad_alloc, which holds no text. Stateless.
#include <bits/functexcept.h>

#include <new>

namespace std {

void __throw_bad_exception() { throw bad_alloc(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_alloc(); }
void __throw_bad_typeid() { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }
void __throw_bad_function_call() { throw bad_alloc(); }

}  // namespace std
