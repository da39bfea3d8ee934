// CCmlDocumentBase: abstract base of every CML document and element class. It keeps
// the element's tag name, namespace URI and the schema version read from an
// instance, reads the standard attributes, collects namespaces and writes the
// element form (nested) and the document form (with declaration and schema
// locations). Each write collects its text in a CCmlOutput and hands the virtual
// writers the output's stream (cml_document_output.h), so a class may override any
// of them and its text lands in place.
// Objects are heap-allocated and owned by their container; copies come from Clone.
// One thread uses an object at a time.
#ifndef QEL_CML_DOCUMENT_BASE_H
#define QEL_CML_DOCUMENT_BASE_H

#include <iosfwd>
#include <memory>
#include <string>

#include "cml/cml_dom_element.h"
#include "cml/cml_namespace.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CCmlDocumentBase {
 public:
  // The virtual operations keep this order: every document class overrides them in
  // place and appends its own after the last one (tests/cml/cml_interface_test.cpp).

  // Copies tag name, instance schema version and namespace through the setters.
  virtual CCmlDocumentBase& Assign(const CCmlDocumentBase& other);
  virtual ~CCmlDocumentBase();
  virtual std::unique_ptr<CCmlDocumentBase> Clone() const = 0;

  virtual const std::wstring& GetTagName() const;
  virtual const std::wstring& GetInstanceSchemaVersion() const;
  virtual const std::wstring& GetNamespace() const;
  // The schema version the class implements and writes.
  virtual const std::wstring& GetSchemaVersion() const = 0;
  virtual void SetTagName(const std::wstring& tag);
  virtual void SetInstanceSchemaVersion(const std::wstring& version);
  virtual void SetNamespace(const std::wstring& uri);
  virtual void SetSchemaVersion(const std::wstring& version) = 0;

  virtual bool HasChildElements() const;
  // Adds (namespace, schema version); a second version of the URI is a conflict.
  virtual void GetNamespaces(CNamespaceSet& set) const;
  // Reads the standard attributes; the element must be in GetNamespace().
  virtual void Deserialize(const CCmlDOM_Element& element);

  // Element form at `level`: start tag, WriteStandardAttributes, then "/>" or the
  // children (WriteChildElements at level + 1) and the end tag. The byte form
  // converts through the stream's locale: imbue the UTF-8 facet first
  // (qelToolsLib::ImbueUtf8); non-ASCII text on a plain stream throws 0xC7380033.
  virtual void SerializeElement(std::wostream& os, unsigned level) const;
  virtual void SerializeElement(std::ostream& os, unsigned level) const;
  // Document form: declaration, namespaces, schema locations, element. The stream is
  // imbued with the UTF-8 facet for the duration of the call.
  virtual void Serialize(std::wostream& os) const;
  virtual void Serialize(std::ostream& os) const;
  // The path converted to UTF-8, then the byte-path form.
  virtual void SerializeToFile(const std::wstring& path) const;
  // The document form (Serialize on a byte stream) replaces the file when complete.
  virtual void SerializeToFile(const char* path) const;
  // " xmlns='<namespace>' schema-version='<class schema version>'"
  virtual void WriteStandardAttributes(std::wostream& os) const;
  virtual void WriteStandardAttributes(std::ostream& os) const;
  // Writes nothing.
  virtual void WriteChildElements(std::wostream& os, unsigned level) const;
  virtual void WriteChildElements(std::ostream& os, unsigned level) const;

  // Document form as UTF-8 bytes, straight into `utf8` (replaced only after a
  // complete write): Serialize on a byte stream, without a stream or its locale.
  void SerializeUtf8(std::string& utf8) const;

 protected:
  CCmlDocumentBase();
  CCmlDocumentBase(std::wstring tag, std::wstring ns, std::wstring instanceVersion);
  CCmlDocumentBase(const CCmlDocumentBase& other);
  CCmlDocumentBase& operator=(const CCmlDocumentBase&) = delete;

 private:
  std::wstring m_tagName;
  std::wstring m_namespace;
  std::wstring m_instanceSchemaVersion;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOCUMENT_BASE_H
