// Process-wide settings of the CML library: indent width, validation switch,
// write-defaults switch and the schema folder. Any thread may read or set them; the
// switches are atomics and the folder is guarded, so a change is seen whole.
#ifndef QEL_CML_SETTINGS_H
#define QEL_CML_SETTINGS_H

#include <string>

namespace qel {
namespace cml {

unsigned GetIndentWidth();                 // default 4
void SetIndentWidth(unsigned width);

bool GetValidation();                      // default true (parse mode 3)
bool SetValidation(bool on);               // returns the previous value

bool GetWriteDefaults();                   // default false
bool SetWriteDefaults(bool on);            // returns the previous value

// Default folder of the external schema location and, when set, the only folder the
// parser may load schemas from. Empty by default: no external schema location, and
// validation follows the schema locations that documents name, local files only
// (cml_entity_resolver.h). A host that must not let documents name the files it reads
// sets a folder (or validates nothing: SetValidation(false), parse mode 2).
inline constexpr wchar_t kDefaultSchemaFolder[] = L"";
std::wstring GetSchemaFolder();
void SetSchemaFolder(const std::wstring& folder);

// Deepest element nesting any parsed or wrapped document may have.
constexpr unsigned kMaxElementDepth = 128;

// Highest number of entity expansions one parse may perform.
constexpr unsigned kEntityExpansionLimit = 1000;

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SETTINGS_H
