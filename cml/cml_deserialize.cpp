#include "cml/cml_deserialize.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
#include "cml/cml_parser.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {

const wchar_t kDeserializing[] = L"Deserializing document";

void AddInstanceNamespaces(CCmlParser& parser, int parseMode, const CNamespaceSet* namespaces) {
  if (parseMode != kParseValidate || namespaces == nullptr) return;
  for (const CNamespace& ns : *namespaces) parser.AddNamespace(ns.GetUri(), ns.GetVersion());
}

}  // namespace

std::unique_ptr<CCmlDocumentBase> DeserializeParsedDocument(const CCmlDOM_Element& element,
                                                            FactoryLookup mode) {
  CCmlClassFactory* factory = CCmlClassFactory::GetGlobalFactory();
  if (factory == nullptr) {
    throw CCmlException(L"Deserializing a parsed document", L"Global class factory is not available",
                        codes::kNoFactory);
  }
  return WithMemoryGuard(L"Deserializing a parsed document", [&] {
    std::unique_ptr<CCmlDocumentBase> document = factory->CreateDocument(element, mode);
    if (document) document->Deserialize(element);
    return document;
  });
}

std::unique_ptr<CCmlDocumentBase> DeserializeDocument(const char* buffer, std::size_t length,
                                                      int parseMode,
                                                      const CNamespaceSet* namespaces,
                                                      const std::wstring& schemaFolder,
                                                      FactoryLookup lookup) {
  return WithMemoryGuard(kDeserializing, [&] {
    CCmlParser parser(3);
    AddInstanceNamespaces(parser, parseMode, namespaces);
    parser.Parse(buffer, length, parseMode, schemaFolder);
    return DeserializeParsedDocument(parser.GetDocumentElement(), lookup);
  });
}

std::unique_ptr<CCmlDocumentBase> DeserializeDocument(const std::wstring& path, int parseMode,
                                                      const CNamespaceSet* namespaces,
                                                      const std::wstring& schemaFolder,
                                                      FactoryLookup lookup) {
  return WithMemoryGuard(kDeserializing, [&] {
    CCmlParser parser(3);
    AddInstanceNamespaces(parser, parseMode, namespaces);
    parser.Parse(path, parseMode, schemaFolder);
    return DeserializeParsedDocument(parser.GetDocumentElement(), lookup);
  });
}

std::unique_ptr<CCmlDocumentBase> DeserializeDocument(const std::string& path, int parseMode,
                                                      const CNamespaceSet* namespaces,
                                                      const std::wstring& schemaFolder,
                                                      FactoryLookup lookup) {
  return DeserializeDocument(FromUtf8(path), parseMode, namespaces, schemaFolder, lookup);
}

}  // namespace cml
}  // namespace qel
