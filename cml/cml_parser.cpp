#include "cml/cml_parser.h"

#include <exception>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_depth.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_local_file_input_source.h"
#include "cml/cml_memory.h"
#include "cml/cml_sax_exception.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xerces.h"
#include "udebug/udebug.h"

namespace qel {
namespace cml {

namespace {
const wchar_t kParseOperation[] = L"Parse operation";
constexpr std::size_t kTraceCap = 512;

int TraceLen(const std::string& text) {
  return static_cast<int>(text.size() < kTraceCap ? text.size() : kTraceCap);
}
int TraceLen(const std::wstring& text) { return TraceLen(ToUtf8(text)); }

CCmlException ParseFailure(const std::wstring& text) {
  return CCmlException(kParseOperation, text, qel::status::CML_PARSE_ERROR);
}
}  // namespace

CCmlParser::XercesReady::XercesReady() { EnsureXercesInitialized(); }

CCmlParser::CCmlParser(int schemaCheckMode)
    : m_parser(std::make_unique<CCmlDOMParser>()), m_schemaCheckMode(schemaCheckMode) {
  m_parser->setXMLEntityResolver(&m_entityResolver);
  m_parser->setErrorHandler(&m_errorHandler);
}

void CCmlParser::RenewXercesParser() {
  m_document = CCmlDOM_Document();  // the old parser owns it
  m_parser = std::make_unique<CCmlDOMParser>();
  m_parser->setXMLEntityResolver(&m_entityResolver);
  m_parser->setErrorHandler(&m_errorHandler);
  m_renewParser = false;
}

CCmlParser::~CCmlParser() = default;

void CCmlParser::AddNamespace(const std::wstring& uri, const std::wstring& version) {
  const wchar_t* operation = L"Adding namespace to CML parser";
  std::wstring implicitVersion;
  if (CImplicitNamespaces::Find(uri, implicitVersion)) {
    throw CCmlException(operation,
                        L"Namespace/schema-version conflict:  tried to add namespace \"" + uri +
                            L"\" version " + version +
                            L" to instance-specific namespace set; implicit namespace set "
                            L"already contains namespace \"" + uri + L"\" version " +
                            implicitVersion,
                        qel::status::CML_IMPLICIT_NAMESPACE_CONFLICT);
  }
  auto result = m_instanceNamespaces.insert(CNamespace(uri, version));
  if (!result.second && result.first->GetVersion() != version) {
    throw CCmlException(operation,
                        L"Adding namespace \"" + uri + L"\" version " + version +
                            L"; namespace \"" + uri + L"\" version " +
                            result.first->GetVersion() + L" already specified",
                        qel::status::CML_NAMESPACE_CONFLICT);
  }
}

void CCmlParser::RemoveNamespace(const std::wstring& uri) {
  m_instanceNamespaces.erase(CNamespace(uri, L""));
}

void CCmlParser::ClearNamespaces() { m_instanceNamespaces.clear(); }

void CCmlParser::AddImplicitNamespace(const CNamespace& ns) { CImplicitNamespaces::Add(ns); }
void CCmlParser::RemoveImplicitNamespace(const CNamespace& ns) { CImplicitNamespaces::Remove(ns); }

void CCmlParser::Parse(const char* buffer, std::size_t length, int mode,
                       const std::wstring& schemaFolder) {
  if (buffer == nullptr && length != 0) {
    throw CCmlException(kParseOperation, L"NULL pointer received", codes::kInvalidArgument);
  }
  CCmlMemBufInputSource source(buffer, length);
  Parse(source, mode, schemaFolder);
}

void CCmlParser::Parse(const std::wstring& path, int mode, const std::wstring& schemaFolder) {
  CCmlLocalFileInputSource source(path);
  Parse(source, mode, schemaFolder);
}

void CCmlParser::Parse(const std::string& path, int mode, const std::wstring& schemaFolder) {
  Parse(FromUtf8(path), mode, schemaFolder);
}

CCmlDOM_Element CCmlParser::GetDocumentElement() const {
  return m_document.getDocumentElement();
}

CCmlDOM_Document CCmlParser::AdoptDocument() {
  xercesc::DOMDocument* doc = m_parser->adoptDocument();
  m_document = CCmlDOM_Document();
  return CCmlDOM_Document(doc, true);
}

bool CCmlParser::ShouldValidate(int mode) const {
  if (mode == kParseValidate) return true;
  if (mode != kParseByCheckMode) return false;
  return m_schemaCheckMode == 1 || (m_schemaCheckMode == 3 && GetValidation());
}

void CCmlParser::Parse(const xercesc::InputSource& source, int mode,
                       const std::wstring& schemaFolder) {
  // The parser's trace block is named after its facility.
  static const std::string facility = ToUtf8(m_wszFacilityName);
  UD_ENTER(facility.c_str(), "input |%.*s| mode %d check mode %d",
           TraceLen(FromXml(source.getSystemId())), ToUtf8(FromXml(source.getSystemId())).c_str(),
           mode, m_schemaCheckMode);
  const bool validate = ShouldValidate(mode);
  UD_TRACE(43000, "%s", validate ? "validating" : "not validating");
  try {
    if (m_renewParser) RenewXercesParser();
    ParseOnce(source, validate, schemaFolder);
  } catch (const CCmlException& e) {
    const std::string text = ToUtf8(e.GetText());
    UD_TRACE(40000, "parse failed: code %x text |%.*s|", static_cast<unsigned>(e.GetCode()),
             TraceLen(text), text.c_str());
    throw;
  }
  const std::string root = ToUtf8(m_rootTagName);
  UD_EXIT("root |%.*s|", TraceLen(root), root.c_str());
}

void CCmlParser::ParseOnce(const xercesc::InputSource& source, bool validate,
                           const std::wstring& schemaFolder) {
  if (!validate) {
    ParseWithoutSchema(source);
    return;
  }
  try {
    ParseWithSchema(source, schemaFolder);
  } catch (const CCmlException& caught) {
    if (caught.GetCode() != qel::status::CML_PARSE_ERROR) throw;
    CSchemaException schema(caught);
    CheckSchemaCompatibility(source, schema);
    if (schema.GetCount() > 0) throw schema;
    throw;
  }
}

void CCmlParser::ParseWithoutSchema(const xercesc::InputSource& source) {
  m_parser->setDoSchema(false);
  m_parser->setValidationScheme(xercesc::XercesDOMParser::Val_Never);
  m_parser->setExternalSchemaLocation(static_cast<const XMLCh*>(nullptr));
  m_entityResolver.AdmitNoSchemas();
  ParseDocument(source);
}

void CCmlParser::ParseWithSchema(const xercesc::InputSource& source,
                                 const std::wstring& schemaFolder) {
  m_parser->setDoSchema(true);
  m_parser->setValidationScheme(xercesc::XercesDOMParser::Val_Always);
  m_parser->cacheGrammarFromParse(true);
  std::wstring folder = schemaFolder.empty() ? GetSchemaFolder() : schemaFolder;
  // No folder: the schema locations the document names are followed (local files only).
  m_entityResolver.AdmitSchemasIn(ToUtf8(folder));
  std::wstring location;
  BuildExternalSchemaLocation(location, schemaFolder);
  m_parser->setExternalSchemaLocation(static_cast<const XMLCh*>(nullptr));
  if (!location.empty()) m_parser->setExternalSchemaLocation(location);
  ParseDocument(source);
}

void CCmlParser::BuildExternalSchemaLocation(std::wstring& out,
                                             const std::wstring& schemaFolder) const {
  out.clear();
  std::wstring folder = schemaFolder.empty() ? GetSchemaFolder() : schemaFolder;
  if (folder.empty()) return;
  auto append = [&](const CNamespaceSet& set) {
    for (const CNamespace& ns : set) {
      if (!IsCmlNamespace(ns.GetUri())) continue;  // no schema file of ours
      if (!out.empty()) out += L" ";
      out += ns.GetUri() + L" " + SchemaFilePath(ns.GetUri(), ns.GetVersion(), folder);
    }
  };
  append(CImplicitNamespaces::Snapshot());
  append(m_instanceNamespaces);
}

void CCmlParser::ParseDocument(const xercesc::InputSource& source) {
  try {
    m_renewParser = true;  // until the document has been read as clean XML 1.0
    m_parser->setErrorHandler(&m_errorHandler);
    m_parser->setDoNamespaces(true);
    m_parser->Harden();
    m_document = CCmlDOM_Document();
    m_parser->resetDocumentPool();
    m_errorHandler.resetErrors();
    m_parser->parse(source);
    m_document = m_parser->getDocument();
    xercesc::DOMDocument* doc = m_document.GetDOMDocument();
    if (doc == nullptr || doc->getDocumentElement() == nullptr) {
      throw ParseFailure(L"Error parsing input content\nMessage:  no document element");
    }
    if (doc->getDoctype() != nullptr) {
      throw CCmlException(kParseOperation, L"DOCTYPE declarations are not accepted",
                          qel::status::CML_DOCTYPE_REFUSED);
    }
    // XML 1.1 admits characters that an XML 1.0 writer cannot give back.
    const std::wstring version = FromXml(doc->getXmlVersion());
    if (!version.empty() && version != L"1.0") {
      throw CCmlException(kParseOperation,
                          L"XML version " + version +
                              L" documents are not accepted; only XML "
                              L"1.0 is",
                          qel::status::CML_PARSE_FATAL);
    }
    m_renewParser = false;
    CheckElementDepth(doc->getDocumentElement(), kParseOperation);
    CCmlDOM_Element root = m_document.getDocumentElement();
    m_rootTagName = root.getNodeName();
    std::wstring uri = root.getNamespaceURI();
    if (!uri.empty()) m_rootNamespace = uri;
    if (root.hasAttribute(vocab::kSchemaVersion)) {
      m_rootSchemaVersion = root.getAttribute(vocab::kSchemaVersion);
    }
  } catch (const CCmlException&) {
    throw;
  } catch (const xercesc::XMLException& e) {
    throw ParseFailure(L"Error parsing input content; error = " + std::to_wstring(e.getCode()) +
                       L"\nMessage:  " + FromXml(e.getMessage()));
  } catch (const xercesc::SAXException& e) {
    throw ParseFailure(L"Error parsing input content\nMessage:  " +
                       CCmlSAX_Exception(e).GetMessage());
  } catch (const xercesc::DOMException& e) {
    throw FromDomException(e, L"Parsing document");
  } catch (const xercesc::OutOfMemoryException&) {
    ThrowInsufficientMemory(kParseOperation);
  } catch (const std::bad_alloc&) {
    ThrowInsufficientMemory(kParseOperation);
  } catch (const std::exception& e) {
    throw ParseFailure(std::wstring(L"Parse operation\nMessage:  ") + FromUtf8(e.what()));
  }
}

void CCmlParser::CompareVersions(const CCmlDOM_NodeList& elements, const std::wstring& uri,
                                 const std::wstring& supported, bool unversionedToo,
                                 CSchemaException& e) const {
  for (std::size_t i = 0; i < elements.getLength(); ++i) {
    CCmlDOM_Element element(elements.item(i));
    std::wstring instance = element.getAttribute(vocab::kSchemaVersion);
    if (instance.empty() && !unversionedToo) continue;
    SchemaVersionRelation r = CompareSchemaVersions(instance, supported);
    if (r == SchemaVersionRelation::NewerPatch || r == SchemaVersionRelation::MinorMismatch ||
        r == SchemaVersionRelation::MajorMismatch) {
      e.AddIncompatibility(uri, supported, instance);
    }
  }
}

void CCmlParser::CheckSchemaCompatibility(const xercesc::InputSource& source,
                                          CSchemaException& e) {
  ParseWithoutSchema(source);
  WithDomErrors(L"Checking schema compatibility", [&] {
    CCmlDOM_Element root = m_document.getDocumentElement();
    std::wstring rootUri = root.getNamespaceURI();
    if (rootUri.empty()) return;
    if (rootUri == uri::kBase) {
      std::wstring instance = root.getAttribute(vocab::kSchemaVersion);
      SchemaVersionRelation r = CompareSchemaVersions(instance, version::kCompoundMessage);
      if (r == SchemaVersionRelation::NewerPatch || r == SchemaVersionRelation::MinorMismatch ||
          r == SchemaVersionRelation::MajorMismatch) {
        e.AddIncompatibility(uri::kBase, version::kCompoundMessage, instance);
      }
    }
    // A "cml" element without a version compares as the empty version (no match);
    // other elements are compared only when they state one.
    CompareVersions(m_document.getElementsByTagNameNS(uri::kCml, vocab::kCml), uri::kCml,
                    version::kMessageLayerOld, true, e);
    CompareVersions(m_document.getElementsByTagNameNS(uri::kMessage, vocab::kCml), uri::kMessage,
                    version::kMessageLayer, true, e);
    for (const CNamespace& ns : m_instanceNamespaces) {
      CompareVersions(m_document.getElementsByTagNameNS(ns.GetUri(), L"*"), ns.GetUri(),
                      ns.GetVersion(), false, e);
    }
  });
}

}  // namespace cml
}  // namespace qel
