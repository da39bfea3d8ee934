#include "cml/cml_document_base.h"

#include <ostream>
#include <sstream>

#include "cml/cml_codes.h"
#include "cml/cml_document_output.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_files.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

CCmlDocumentBase::CCmlDocumentBase() = default;

CCmlDocumentBase::CCmlDocumentBase(std::wstring tag, std::wstring ns, std::wstring instanceVersion)
    : m_tagName(std::move(tag)),
      m_namespace(std::move(ns)),
      m_instanceSchemaVersion(std::move(instanceVersion)) {}

CCmlDocumentBase::CCmlDocumentBase(const CCmlDocumentBase& other) = default;

CCmlDocumentBase::~CCmlDocumentBase() = default;

CCmlDocumentBase& CCmlDocumentBase::Assign(const CCmlDocumentBase& other) {
  if (&other != this) {
    SetTagName(other.GetTagName());
    SetInstanceSchemaVersion(other.GetInstanceSchemaVersion());
    SetNamespace(other.GetNamespace());
  }
  return *this;
}

const std::wstring& CCmlDocumentBase::GetTagName() const { return m_tagName; }
const std::wstring& CCmlDocumentBase::GetInstanceSchemaVersion() const {
  return m_instanceSchemaVersion;
}
const std::wstring& CCmlDocumentBase::GetNamespace() const { return m_namespace; }
void CCmlDocumentBase::SetTagName(const std::wstring& tag) { m_tagName = tag; }
void CCmlDocumentBase::SetInstanceSchemaVersion(const std::wstring& version) {
  m_instanceSchemaVersion = version;
}
void CCmlDocumentBase::SetNamespace(const std::wstring& uri) { m_namespace = uri; }

bool CCmlDocumentBase::HasChildElements() const { return false; }

void CCmlDocumentBase::GetNamespaces(CNamespaceSet& set) const {
  AddNamespaceChecked(set, CNamespace(GetNamespace(), GetSchemaVersion()),
                      L"Constructing document namespace object");
}

void CCmlDocumentBase::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Deserializing document", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  WithDomErrors(L"Processing standard document attributes", [&] {
    std::wstring uri = element.getNamespaceURI();
    if (uri != GetNamespace()) {
      throw CCmlException(L"Processing standard document attributes",
                          L"Unrecognized namespace " + uri,
                          qel::status::CML_INVALID_NAMESPACE);
    }
    SetNamespace(uri);
    SetTagName(element.getNodeName());
    SetInstanceSchemaVersion(element.getAttribute(vocab::kSchemaVersion));
  });
}

namespace {
template <class Stream>
void ElementForm(const CCmlDocumentBase& doc, Stream& os, unsigned level) {
  WriteElementOutput(os, [&](CCmlOutput& out, auto& stream) {
    WriteOpenTag(out, level, doc.GetTagName());
    doc.WriteStandardAttributes(stream);
    if (!doc.HasChildElements()) {
      out << L"/>\n";
      return;
    }
    out << L">\n";
    doc.WriteChildElements(stream, level + 1);
    WriteEndTag(out, level, doc.GetTagName());
  });
}

template <class Stream>
void DocumentForm(const CCmlDocumentBase& doc, Stream& os) {
  WriteDocumentOutput(os, [&](CCmlOutput& out, auto& stream) {
    CNamespaceSet set;
    doc.GetNamespaces(set);
    WriteDocumentStart(out, doc.GetTagName(), set);
    doc.WriteStandardAttributes(stream);
    if (!doc.HasChildElements()) {
      out << L"/>\n";
      return;
    }
    out << L">\n";
    doc.WriteChildElements(stream, 1);
    out << L"</" << doc.GetTagName() << L">\n";
  });
}

template <class Stream>
void StandardAttributes(const CCmlDocumentBase& doc, Stream& os) {
  WriteThrough(os, [&](CCmlOutput& out) {
    WriteNamespaceAttributes(out, doc.GetTagName(), doc.GetNamespace());
    WriteAttribute(out, vocab::kSchemaVersion, doc.GetSchemaVersion());
  });
}
}  // namespace

void CCmlDocumentBase::SerializeElement(std::wostream& os, unsigned level) const {
  ElementForm(*this, os, level);
}

void CCmlDocumentBase::SerializeElement(std::ostream& os, unsigned level) const {
  ElementForm(*this, os, level);
}

void CCmlDocumentBase::Serialize(std::wostream& os) const { DocumentForm(*this, os); }

void CCmlDocumentBase::Serialize(std::ostream& os) const { DocumentForm(*this, os); }

void CCmlDocumentBase::SerializeToFile(const std::wstring& path) const {
  SerializeToFile(ToUtf8(path).c_str());
}

void CCmlDocumentBase::SerializeToFile(const char* path) const {
  const wchar_t* operation = L"Serializing to file";
  if (path == nullptr) {
    throw CCmlException(operation, L"NULL pointer received", codes::kInvalidArgument);
  }
  // The whole text first: a failed write leaves an existing file as it was.
  WithMemoryGuard(operation, [&] {
    std::string text;
    SerializeUtf8(text);
    ReplaceFile(path, text, operation);
  });
}

void CCmlDocumentBase::WriteStandardAttributes(std::wostream& os) const {
  StandardAttributes(*this, os);
}

void CCmlDocumentBase::WriteStandardAttributes(std::ostream& os) const {
  StandardAttributes(*this, os);
}

void CCmlDocumentBase::WriteChildElements(std::wostream&, unsigned) const {}
void CCmlDocumentBase::WriteChildElements(std::ostream&, unsigned) const {}

void CCmlDocumentBase::SerializeUtf8(std::string& utf8) const {
  WithMemoryGuard(kSerializingDocument, [&] {
    std::string text;
    CCmlOutput out(text);
    Serialize(out.ByteStream());
    out.Finish();
    utf8.swap(text);
  });
}

}  // namespace cml
}  // namespace qel
