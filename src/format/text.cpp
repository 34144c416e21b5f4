// FindNoCase, ReplaceAllNoCase and ReplaceAll: the only search and substitution in the
// plug-in. One search and one replacement do the work of both kinds: they compare bytes
// through a map that folds letters (A-Z against a-z only; no code page or locale is asked) or
// keeps them as they are. All work on their arguments alone and keep nothing between calls.
//
// A text may hold zero bytes; they split it into segments that no match spans. The search
// sees a segment only up to its zero byte, which std::string guarantees after the last one.
// Handed a code page's lead bytes, it steps over that code page's double-byte characters.
#include "format/text.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

inline unsigned char Fold(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

inline unsigned char Keep(unsigned char c) { return c; }

using ByteMap = unsigned char (*)(unsigned char);

// How far the character at `at` reaches: two bytes for a lead byte of `leads` followed by
// another byte than zero, else one.
inline std::size_t CharacterBytes(const char* at, const LeadBytes* leads) {
  return leads && leads->test(static_cast<unsigned char>(*at)) && at[1] ? 2 : 1;
}

// With `leads`, matches start only where characters do.
template <ByteMap Map>
const char* Find(const char* haystack, const char* needle, const LeadBytes* leads = nullptr) {
  if (!haystack) return nullptr;
  if (!needle || !*needle) return haystack;
  const unsigned char first = Map(static_cast<unsigned char>(*needle));
  for (const char* start = haystack; *start; start += CharacterBytes(start, leads)) {
    if (Map(static_cast<unsigned char>(*start)) != first) continue;
    const char* h = start + 1;
    const char* n = needle + 1;
    while (*n && *h && Map(static_cast<unsigned char>(*h)) == Map(static_cast<unsigned char>(*n))) {
      ++h;
      ++n;
    }
    if (!*n) return start;
    // The rest of the haystack is shorter than the needle: no later start can match either.
    if (!*h) return nullptr;
  }
  return nullptr;
}

// Calls hit(offset) for every match in text[0, length), leftmost first and never overlapping,
// segment by segment. text[length] must be a zero byte.
template <ByteMap Map, class Hit>
int ForEachHit(const char* text, std::size_t length, const char* needle, std::size_t needleLength,
               const LeadBytes* leads, Hit hit) {
  int count = 0;
  std::size_t segment = 0;
  while (segment < length) {
    const char* from = text + segment;
    // A match of a needle without lead bytes ends where a character does.
    while (const char* found = Find<Map>(from, needle, leads)) {
      hit(static_cast<std::size_t>(found - text));
      ++count;
      from = found + needleLength;
    }
    segment = static_cast<std::size_t>(from - text) + std::strlen(from) + 1;
  }
  return count;
}

template <ByteMap Map>
int Replace(std::string& text, const char* needle, const char* replacement,
            std::size_t maxLength, const LeadBytes* leads) {
  if (!needle || !*needle || text.empty()) return 0;
  const std::size_t n = std::strlen(needle);
  const std::size_t r = replacement ? std::strlen(replacement) : 0;
  const std::size_t length = text.size();

  // Counting first: a text without hits is neither copied nor reallocated.
  const int count = ForEachHit<Map>(text.c_str(), length, needle, n, leads, [](std::size_t) {});
  if (count == 0) return 0;

  const std::uint64_t grown = static_cast<std::uint64_t>(length) +
                              static_cast<std::uint64_t>(count) * r;
  const std::uint64_t removed = static_cast<std::uint64_t>(count) * n;
  const std::uint64_t newLength = grown - removed;
  if (newLength > maxLength) return -1;
  // A text that outgrows what a string can hold is out of memory like any other; the runtime's
  // length_error is left out of the DLL (runtime/throw.cpp).
  if (grown > text.max_size()) throw std::bad_alloc();

  // One pass that copies forward, reading at `from` and writing at `to`, never behind the
  // reader. A text that grows is first moved to the end of its (once) enlarged storage so that
  // the writer, starting at the front, stays behind the reader all the way.
  std::size_t offset = 0;
  if (newLength > length) {
    offset = static_cast<std::size_t>(newLength) - length;
    text.resize(static_cast<std::size_t>(newLength));
    std::memmove(text.data() + offset, text.data(), length);
  }
  char* base = text.data();
  const char* source = base + offset;
  std::size_t from = 0;  // in source
  std::size_t to = 0;    // in base
  ForEachHit<Map>(source, length, needle, n, leads, [&](std::size_t hit) {
    std::memmove(base + to, source + from, hit - from);
    to += hit - from;
    if (r) std::memcpy(base + to, replacement, r);
    to += r;
    from = hit + n;
  });
  std::memmove(base + to, source + from, length - from);
  text.resize(static_cast<std::size_t>(newLength));
  return count;
}

}  // namespace

const char* FindNoCase(const char* haystack, const char* needle) {
  return Find<Fold>(haystack, needle);
}

bool SameNoCase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  while (*a && Fold(static_cast<unsigned char>(*a)) == Fold(static_cast<unsigned char>(*b))) {
    ++a;
    ++b;
  }
  return *a == *b;
}

int ReplaceAllNoCase(std::string& text, const char* needle, const char* replacement,
                     std::size_t maxLength) {
  return Replace<Fold>(text, needle, replacement, maxLength, nullptr);
}

int ReplaceAll(std::string& text, const char* needle, const char* replacement) {
  return Replace<Keep>(text, needle, replacement, kNoLengthLimit, nullptr);
}

int ReplaceAll(std::string& text, const char* needle, const char* replacement,
               const LeadBytes& leads) {
  return Replace<Keep>(text, needle, replacement, kNoLengthLimit, &leads);
}
