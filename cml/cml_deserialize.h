// Turning CML text or parsed DOM elements into CML objects through the class
// factory. Any thread (each call builds its own parser); the results belong to the
// caller and keep no reference to the parsed document.
#ifndef QEL_CML_DESERIALIZE_H
#define QEL_CML_DESERIALIZE_H

#include <cstddef>
#include <memory>
#include <string>

#include "cml/cml_class_factory.h"
#include "cml/cml_document_base.h"
#include "cml/cml_namespace.h"

namespace qel {
namespace cml {

// A new object for the element, deserialised from it; null for an element nobody
// registered.
std::unique_ptr<CCmlDocumentBase> DeserializeParsedDocument(const CCmlDOM_Element& element,
                                                            FactoryLookup mode);

// Parse a buffer or a file (the byte form of the path is UTF-8; mode 1 validates;
// with a namespace set its pairs become instance namespaces), then
// DeserializeParsedDocument on the document element.
std::unique_ptr<CCmlDocumentBase> DeserializeDocument(
    const char* buffer, std::size_t length, int parseMode, const CNamespaceSet* namespaces,
    const std::wstring& schemaFolder = std::wstring(),
    FactoryLookup lookup = FactoryLookup::LatestCompatible);
std::unique_ptr<CCmlDocumentBase> DeserializeDocument(
    const std::wstring& path, int parseMode, const CNamespaceSet* namespaces,
    const std::wstring& schemaFolder = std::wstring(),
    FactoryLookup lookup = FactoryLookup::LatestCompatible);
std::unique_ptr<CCmlDocumentBase> DeserializeDocument(
    const std::string& path, int parseMode, const CNamespaceSet* namespaces,
    const std::wstring& schemaFolder = std::wstring(),
    FactoryLookup lookup = FactoryLookup::LatestCompatible);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DESERIALIZE_H
