// The text writers of the CML library: XML declaration, indentation, escaping, schema
// file paths and the start of a document with its namespace declarations and schema
// locations. Stateless functions; they read the process-wide settings.
#ifndef QEL_CML_SERIALIZER_H
#define QEL_CML_SERIALIZER_H

#include <iosfwd>
#include <string>

#include "cml/cml_namespace.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

// Folder named in the schema locations that documents carry.
inline constexpr wchar_t kDocumentSchemaFolder[] = L"./schemas";

// UTF-8 declaration for byte and wide file streams, UCS4 for wide string streams;
// any other wide stream throws CCmlException (0xC7210003, "Unsupported stream type").
void WriteXmlDeclaration(CCmlOutput& out, bool standalone);
void WriteXmlDeclaration(std::wostream& os, bool standalone);
void WriteXmlDeclaration(std::ostream& os, bool standalone);

// level x indent width blanks.
std::wstring Indent(unsigned level);

std::wstring EscapeAttributeValue(const std::wstring& text);
std::string EscapeAttributeValue(const std::string& text);
std::wstring EscapeContent(const std::wstring& text);
std::string EscapeContent(const std::string& text);
// Pointer forms: a null pointer throws CCmlException (0xC7210003).
std::wstring EscapeAttributeValue(const wchar_t* text);
std::wstring EscapeContent(const wchar_t* text);

// The text after an XML declaration in front (after a byte order mark and blanks, if
// any), or the whole text when it does not start with one.
std::wstring SkipXmlDeclaration(const std::wstring& text);
std::string SkipXmlDeclaration(const std::string& text);

// Schema file of a namespace at a version inside `folder`; a URI outside the base
// URI throws CCmlException (0xC738000A, "Building schema filename", "Invalid namespace").
std::wstring SchemaFilePath(const std::wstring& uri, const std::wstring& version,
                            const std::wstring& folder);

// XML declaration, "<root xmlns:xsi='...'", end of line and, for a non-empty set,
// the schema location attribute; the caller continues on the same line.
void WriteDocumentStart(CCmlOutput& out, const std::wstring& rootTag, const CNamespaceSet& set);

// Writes ` name='value'` with the value attribute-escaped.
void WriteAttribute(CCmlOutput& out, const wchar_t* name, const std::wstring& value);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SERIALIZER_H
