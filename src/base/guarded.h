// Guarded: how every entry that the player or the system calls runs its work, so that nothing
// ever throws into them. Depends on nothing; any folder may include it.
#pragma once

// Runs f and returns its result; a C++ exception (an allocation that failed, most likely) is
// kept inside and `fallback` returned instead.
template <class F, class R>
R Guarded(F f, R fallback) noexcept {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

template <class F>
void Guarded(F f) noexcept {
  try {
    f();
  } catch (...) {
  }
}
