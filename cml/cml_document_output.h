// How the document classes run a write: the element and document forms collect their
// text in a CCmlOutput and hand the virtual writers of the documents they contain the
// output's stream of the same kind (wide or bytes), so nested writes join the same
// text instead of writing to the caller's stream on their own. A write whose stream
// is such a stream already is nested and adds to the write in progress. Allocation
// failures become 0xC7210001 ("Serializing document"). Stateless; one thread per write.
#ifndef QEL_CML_DOCUMENT_OUTPUT_H
#define QEL_CML_DOCUMENT_OUTPUT_H

#include "cml/cml_memory.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

inline constexpr wchar_t kSerializingDocument[] = L"Serializing document";

// Runs `write(output, stream)` on the output bound to `os` or on a new output for
// `os`, which takes the text when `write` completes.
template <class Stream, class Write>
void WriteElementOutput(Stream& os, Write&& write) {
  WithMemoryGuard(kSerializingDocument, [&] {
    if (CCmlOutput* bound = BoundOutput(os)) {
      write(*bound, os);
      return;
    }
    CCmlOutput out(os);
    write(out, StreamOf(out, os));
    out.Finish();
  });
}

// The same for the document form: a new output also imbues `os` with the UTF-8
// facet for the duration of the write.
template <class Stream, class Write>
void WriteDocumentOutput(Stream& os, Write&& write) {
  WithMemoryGuard(kSerializingDocument, [&] {
    if (CCmlOutput* bound = BoundOutput(os)) {
      write(*bound, os);
      return;
    }
    CUtf8LocaleGuard utf8(os);
    CCmlOutput out(os);
    write(out, StreamOf(out, os));
    out.Finish();
  });
}

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOCUMENT_OUTPUT_H
