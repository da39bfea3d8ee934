// Copies the first four 32-bit words of an event's variable arguments into its
// ring entry. The arguments are not addressable as words on every ABI, so the
// format is walked and each argument fetched with its own type from a copy of
// the list; the caller's list stays untouched for printing. Values wider than
// 32 bits (pointers, long, long long, double) give two words, low word first.
#include <cctype>
#include <cstring>

#include "udebug/ud_internal.h"

namespace {

enum class width { normal, narrow, wide, long_double };

class word_sink {
 public:
  explicit word_sink(uint32_t (&words)[UD_RING_ARG_WORDS]) : words_(words) {
    for (uint32_t& w : words_) w = 0;
  }
  bool full() const { return count_ >= UD_RING_ARG_WORDS; }
  void push32(uint32_t v) {
    if (!full()) words_[count_++] = v;
  }
  void push64(uint64_t v) {
    push32(static_cast<uint32_t>(v));
    push32(static_cast<uint32_t>(v >> 32));
  }

 private:
  uint32_t (&words_)[UD_RING_ARG_WORDS];
  unsigned count_ = 0;
};

// Skips flags, field width and precision; '*' consumes an int argument.
// Returns null for positional arguments ("%1$d"), which are not followed.
const char* skip_modifiers(const char* p, va_list& args, word_sink& sink) {
  while (*p && std::strchr("-+ #0'", *p)) ++p;
  for (int part = 0; part < 2; ++part) {
    if (*p == '*') {
      sink.push32(static_cast<uint32_t>(va_arg(args, int)));
      ++p;
    } else {
      while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
      if (*p == '$') return nullptr;
    }
    if (part == 0 && *p == '.') ++p;
    else break;
  }
  return p;
}

const char* length_modifier(const char* p, width& w) {
  w = width::normal;
  while (*p && std::strchr("hlLqjzt", *p)) {
    if (*p == 'h') w = width::narrow;
    else if (*p == 'L') w = width::long_double;
    else w = width::wide;   // l, ll, q, j, z, t: 64 bits here
    ++p;
  }
  return p;
}

// Fetches the argument of one conversion; false for a conversion we cannot
// type, after which nothing more is read.
bool fetch(char conversion, width w, va_list& args, word_sink& sink) {
  switch (conversion) {
    case 'c': case 'C':   // int or wint_t
      sink.push32(va_arg(args, unsigned));
      return true;
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
      if (w == width::wide) sink.push64(va_arg(args, unsigned long long));
      else sink.push32(va_arg(args, unsigned));
      return true;
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
      const double d = w == width::long_double ? static_cast<double>(va_arg(args, long double))
                                               : va_arg(args, double);
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      sink.push64(bits);
      return true;
    }
    case 's': case 'p': case 'n': case 'S':
      sink.push64(reinterpret_cast<uintptr_t>(va_arg(args, void*)));
      return true;
    case 'm':
      return true;   // prints errno, takes no argument
    default:
      return false;
  }
}

}  // namespace

void ud_capture_words(const char* format, va_list args, uint32_t (&words)[UD_RING_ARG_WORDS]) {
  word_sink sink(words);
  if (!format) return;
  va_list copy;
  va_copy(copy, args);
  for (const char* p = std::strchr(format, '%'); p && !sink.full(); p = std::strchr(p, '%')) {
    ++p;
    if (*p == '%') {
      ++p;
      continue;
    }
    width w;
    p = skip_modifiers(p, copy, sink);
    if (!p) break;
    p = length_modifier(p, w);
    if (!*p || !fetch(*p, w, copy, sink)) break;
    ++p;
  }
  va_end(copy);
}
