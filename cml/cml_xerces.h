// Xerces-C process initialisation and the text conversions at the Xerces boundary.
// EnsureXercesInitialized is idempotent and thread-safe; Xerces is never terminated
// while the library is loaded (other users in the process may still hold DOM objects).
#ifndef QEL_CML_XERCES_H
#define QEL_CML_XERCES_H

#include <string>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class MemoryManager;
XERCES_CPP_NAMESPACE_END

namespace qel {
namespace cml {

// Initialises Xerces-C once for the process; later calls return at once. Throws
// CCmlException when the initialisation fails.
void EnsureXercesInitialized();
// Xerces' memory manager, Xerces initialised first: for the Xerces objects the library
// makes (input sources take it as an argument, which would be null before).
xercesc::MemoryManager* XercesMemoryManager();

// Wide text to Xerces text (UTF-16), invalid characters replaced.
std::u16string ToXml(const std::wstring& text);
// Xerces text to wide text; a null pointer gives empty text.
std::wstring FromXml(const XMLCh* text);

// Offsets in wide text (code points) and in Xerces text (UTF-16 units): the position
// in `text` (null: empty) of the code point at `wideOffset`; past the end the excess
// is added, so that Xerces still reports an offset beyond the data.
std::size_t Utf16Offset(const XMLCh* text, std::size_t wideOffset);
// Number of code points in `text` (null: 0).
std::size_t WideLength(const XMLCh* text);

// UTF-8 bytes to wide text and back, lenient (invalid sequences replaced).
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_XERCES_H
