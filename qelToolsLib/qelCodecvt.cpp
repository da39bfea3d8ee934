#include "qelToolsLib/qelCodecvt.h"

#include "qelStatusCodes.h"
#include "qelToolsLib/ConvertUTF.h"

namespace qelToolsLib {

namespace {

// The one instance; refs 1 so that no locale deletes it. Created during loading by
// g_loadTimeInstance, destroyed at unload.
const CQelCodecvt& instance() {
  static const CQelCodecvt facet(1);
  return facet;
}
[[maybe_unused]] const CQelCodecvt& g_loadTimeInstance = instance();

}  // namespace

CQelCodecvt::result CQelCodecvt::do_out(state_type&, const intern_type* from,
                                        const intern_type* fromEnd, const intern_type*& fromNext,
                                        extern_type* to, extern_type* toEnd,
                                        extern_type*& toNext) const {
  size_t consumed = static_cast<size_t>(fromEnd - from);
  size_t written = static_cast<size_t>(toEnd - to);
  const uint32_t status = ConvertUTF32toUTF8(from, consumed, to, written, qelConvertMode::Lenient);
  fromNext = from + consumed;
  toNext = to + written;
  return status == qel::status::INSUFFICIENT_RESOURCES ? partial : ok;
}

CQelCodecvt::result CQelCodecvt::do_unshift(state_type&, extern_type* to, extern_type*,
                                            extern_type*& toNext) const {
  toNext = to;
  return noconv;
}

int CQelCodecvt::do_max_length() const noexcept { return static_cast<int>(kUtf8PerUtf32); }

const CQelCodecvt& qelCodecvtInstance() noexcept { return instance(); }

void ImbueUtf8(std::ios_base& stream) {
  // The locale takes a non-const facet pointer; it never modifies or deletes it.
  const std::locale utf8(stream.getloc(), const_cast<CQelCodecvt*>(&instance()));
  // basic_ios::imbue also hands the locale to the stream buffer, which is where a
  // file stream converts; ios_base::imbue alone would not.
  if (auto* wide = dynamic_cast<std::wios*>(&stream))
    wide->imbue(utf8);
  else if (auto* narrow = dynamic_cast<std::ios*>(&stream))
    narrow->imbue(utf8);
  else
    stream.imbue(utf8);
}

void WriteWide(std::ostream& stream, const wchar_t* text, std::size_t length) {
  using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;
  const Facet& facet = std::use_facet<Facet>(stream.getloc());
  char buffer[512];
  std::mbstate_t state{};
  const wchar_t* next = text;
  const wchar_t* end = text + length;
  while (next < end) {
    char* out = buffer;
    const Facet::result r = facet.out(state, next, end, next, buffer, buffer + sizeof buffer, out);
    stream.write(buffer, out - buffer);
    if (r == Facet::error || r == Facet::noconv || (r == Facet::partial && out == buffer)) {
      stream.setstate(std::ios_base::badbit);
      return;
    }
  }
}

}  // namespace qelToolsLib
