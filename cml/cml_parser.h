// CCmlParser: turns CML text (a memory buffer or a file) into a DOM document,
// optionally validating it against the schemas of the CML namespaces, and reports
// every failure as a CCmlException. When validation fails it re-reads the document
// and reports unsupported instance versions as a CSchemaException. The parsed
// document belongs to the parser until the next parse or the parser's destruction
// (or until AdoptDocument hands it over). A parser is used by one thread at a time;
// the implicit namespace set is process-wide and guarded (CImplicitNamespaces).
#ifndef QEL_CML_PARSER_H
#define QEL_CML_PARSER_H

#include <cstddef>
#include <memory>
#include <string>

#include <xercesc/sax/InputSource.hpp>

#include "cml/cml_dom_document.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_dom_parser.h"
#include "cml/cml_entity_resolver.h"
#include "cml/cml_mem_buf_input_source.h"
#include "cml/cml_namespace.h"
#include "cml/cml_sax_error_handler.h"
#include "cml/cml_schema_exception.h"

namespace qel {
namespace cml {

// Parse modes: validate, do not validate, validate as the schema check mode says.
enum ParseMode : int { kParseValidate = 1, kParseNoValidation = 2, kParseByCheckMode = 3 };

class CCmlParser {
 public:
  // The facility name of the parser's trace lines (its trace block).
  static constexpr wchar_t m_wszFacilityName[] = L"CML Parser";

  explicit CCmlParser(int schemaCheckMode = 3);
  CCmlParser(const CCmlParser&) = delete;
  CCmlParser& operator=(const CCmlParser&) = delete;
  virtual ~CCmlParser();

  // Adds an instance namespace; a URI in the implicit set throws 0xC7380024, the
  // URI again with another version 0xC738000E; the same pair again is accepted.
  void AddNamespace(const std::wstring& uri, const std::wstring& version);
  void RemoveNamespace(const std::wstring& uri);
  void ClearNamespaces();
  static void AddImplicitNamespace(const CNamespace& ns);
  static void RemoveImplicitNamespace(const CNamespace& ns);

  void Parse(const char* buffer, std::size_t length, int mode,
             const std::wstring& schemaFolder = std::wstring());
  // A local file; the byte form of the path is UTF-8.
  void Parse(const std::wstring& path, int mode, const std::wstring& schemaFolder = std::wstring());
  void Parse(const std::string& path, int mode, const std::wstring& schemaFolder = std::wstring());

  const std::wstring& GetRootTagName() const { return m_rootTagName; }
  const std::wstring& GetRootNamespace() const { return m_rootNamespace; }
  const std::wstring& GetRootSchemaVersion() const { return m_rootSchemaVersion; }
  CCmlDOM_Element GetDocumentElement() const;
  const CNamespaceSet& GetInstanceNamespaces() const { return m_instanceNamespaces; }
  CNamespaceSet& GetInstanceNamespaces() { return m_instanceNamespaces; }
  int GetSchemaCheckMode() const { return m_schemaCheckMode; }
  void SetSchemaCheckMode(int mode) { m_schemaCheckMode = mode; }
  // The parsed document, still owned by the parser.
  CCmlDOM_Document GetDocument() const { return m_document; }
  // Hands the parsed document to the caller (the returned wrapper owns it).
  CCmlDOM_Document AdoptDocument();

 protected:
  void Parse(const xercesc::InputSource& source, int mode, const std::wstring& schemaFolder);
  void ParseWithSchema(const xercesc::InputSource& source, const std::wstring& schemaFolder);
  void ParseWithoutSchema(const xercesc::InputSource& source);
  void CheckSchemaCompatibility(const xercesc::InputSource& source, CSchemaException& e);
  void BuildExternalSchemaLocation(std::wstring& out, const std::wstring& schemaFolder) const;
  void ParseDocument(const xercesc::InputSource& source);

 private:
  bool ShouldValidate(int mode) const;
  // A new Xerces parser in place of one that read a document which did not end as a
  // clean XML 1.0 document: Xerces keeps an XML 1.1 declaration's character rules for
  // the documents after it.
  void RenewXercesParser();
  void ParseOnce(const xercesc::InputSource& source, bool validate,
                 const std::wstring& schemaFolder);
  // Adds an incompatibility for each element whose "schema-version" is a newer patch,
  // another minor or major version than `supported`; an element without one counts
  // (as the empty version) only with `unversionedToo`.
  void CompareVersions(const CCmlDOM_NodeList& elements, const std::wstring& uri,
                       const std::wstring& supported, bool unversionedToo,
                       CSchemaException& e) const;

  struct XercesReady {
    XercesReady();
  } m_xercesReady;  // first member: Xerces is initialised before the DOM parser exists
  std::unique_ptr<CCmlDOMParser> m_parser;
  CCmlDOM_Document m_document;
  std::wstring m_rootTagName;
  std::wstring m_rootNamespace;
  std::wstring m_rootSchemaVersion;
  CNamespaceSet m_instanceNamespaces;
  CCmlSaxErrorHandler m_errorHandler;
  CCmlEntityResolver m_entityResolver;
  int m_schemaCheckMode;
  bool m_renewParser = false;  // the last parse failed or met another XML version
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_PARSER_H
