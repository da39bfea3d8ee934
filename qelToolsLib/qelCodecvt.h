// qelCodecvt.h - CQelCodecvt, the stream conversion facet that writes wide text as
// UTF-8, and the helpers that put it on a stream.
//
// The facet converts output (wide to UTF-8, lenient: a character that is not one
// becomes U+FFFD) and reports unshift as `noconv`; input, encoding() and
// always_noconv() are the standard facet's. max_length() is 6 (the longest sequence
// it writes), so file streams size their conversion buffers right.
// One process-wide instance exists from load time to unload; locales refer to it and
// never delete it. It is immutable: any thread may use it.
#pragma once

#include <cstddef>
#include <cwchar>
#include <ios>
#include <locale>
#include <ostream>

namespace qelToolsLib {

class CQelCodecvt : public std::codecvt<wchar_t, char, std::mbstate_t> {
 public:
  explicit CQelCodecvt(std::size_t refs = 0) : std::codecvt<wchar_t, char, std::mbstate_t>(refs) {}

 protected:
  result do_out(state_type& state, const intern_type* from, const intern_type* fromEnd,
                const intern_type*& fromNext, extern_type* to, extern_type* toEnd,
                extern_type*& toNext) const override;
  result do_unshift(state_type& state, extern_type* to, extern_type* toEnd,
                    extern_type*& toNext) const override;
  int do_max_length() const noexcept override;
};

// The process-wide instance.
const CQelCodecvt& qelCodecvtInstance() noexcept;

// Imbues `stream` (and its stream buffer) with a copy of its locale that carries the
// process-wide facet. A wide file stream then writes UTF-8 files.
void ImbueUtf8(std::ios_base& stream);

// Writes wide text to a narrow stream through the conversion facet of the stream's
// locale (UTF-8 after ImbueUtf8). Sets badbit when the facet fails.
void WriteWide(std::ostream& stream, const wchar_t* text, std::size_t length);

}  // namespace qelToolsLib

using qelToolsLib::CQelCodecvt;
