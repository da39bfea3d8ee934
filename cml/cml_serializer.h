// The text writers of the CML library: XML declaration, indentation, escaping, tags,
// schema file paths and the start of a document with its namespace declarations and
// schema locations. Stateless functions; they read the process-wide settings.
// Whatever they write is well-formed XML 1.0: character data is escaped (characters
// XML 1.0 does not allow become U+FFFD) and a tag that is not an XML name is refused.
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

// Markup characters as entity references; in attribute values TAB, LF and CR, in
// content CR, as character references; characters XML 1.0 does not allow as U+FFFD.
// Narrow texts are UTF-8 (invalid sequences also become U+FFFD).
std::wstring EscapeAttributeValue(const std::wstring& text);
std::string EscapeAttributeValue(const std::string& text);
std::wstring EscapeContent(const std::wstring& text);
std::string EscapeContent(const std::string& text);
// Pointer forms: a null pointer throws CCmlException (0xC7210003).
std::wstring EscapeAttributeValue(const wchar_t* text);
std::wstring EscapeContent(const wchar_t* text);

// Drops a leading XML declaration ("<?xml ...?>", after an optional byte order mark
// and white space); any other text, processing instructions included, is returned
// whole.
std::wstring SkipXmlDeclaration(const std::wstring& text);
std::string SkipXmlDeclaration(const std::string& text);

// Schema file of a namespace at a version inside `folder`; a URI outside the base
// URI throws CCmlException (0xC738000A, "Building schema filename", "Invalid namespace").
std::wstring SchemaFilePath(const std::wstring& uri, const std::wstring& version,
                            const std::wstring& folder);
// True for the base URI and the URIs below it: the namespaces that have schema files.
bool IsCmlNamespace(const std::wstring& uri);

// XML declaration, "<root xmlns:xsi='...'", end of line and, for a non-empty set,
// the schema location attribute; the caller continues on the same line.
void WriteDocumentStart(CCmlOutput& out, const std::wstring& rootTag, const CNamespaceSet& set);

// Writes ` name='value'` with the value attribute-escaped.
inline void WriteAttribute(CCmlOutput& out, const wchar_t* name, const std::wstring& value) {
  out << L" " << name << L"='";
  out.Escaped(value, true);
  out << L'\'';
}

// The indent of `level`, "<" and `tag`. A tag that is not a QName (or, with
// `prefixAllowed` false, not an NCName) throws CCmlException (0xC7210003,
// "Writing element").
void WriteOpenTag(CCmlOutput& out, unsigned level, const std::wstring& tag,
                  bool prefixAllowed = true);
// The same for a word of the vocabulary (cml_vocabulary.h), which is a name by
// construction and is written without a check.
void WriteOpenTag(CCmlOutput& out, unsigned level, const wchar_t* vocabularyWord);
// The indent of `level`, "</", `tag`, ">" and an end of line.
void WriteEndTag(CCmlOutput& out, unsigned level, const std::wstring& tag);
void WriteEndTag(CCmlOutput& out, unsigned level, const wchar_t* vocabularyWord);
// " xmlns='<ns>'" and, for a prefixed tag, also " xmlns:<prefix>='<ns>'": the prefix
// is bound and unprefixed children stay in the namespace. A prefixed tag without a
// namespace throws CCmlException (0xC7210003, "Writing element").
void WriteNamespaceAttributes(CCmlOutput& out, const std::wstring& tag, const std::wstring& ns);
// Throws as WriteOpenTag does when `tag` is not a QName (NCName).
void RequireTagName(const std::wstring& tag, bool prefixAllowed = true);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SERIALIZER_H
