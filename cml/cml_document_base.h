// CCmlDocumentBase: abstract base of every CML document and element class. It keeps
// the element's tag name, namespace URI and the schema version read from an
// instance, reads the standard attributes, collects namespaces and writes the
// element form (nested) and the document form (with declaration and schema
// locations). Writers exist once over CCmlOutput; the stream forms wrap them.
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
  virtual ~CCmlDocumentBase();

  // Copies tag name, instance schema version and namespace through the setters.
  virtual CCmlDocumentBase& Assign(const CCmlDocumentBase& other);
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

  // Element form at `level`.
  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  // Document form: declaration, namespaces, schema locations, element.
  virtual void WriteDocument(CCmlOutput& out) const;
  // " xmlns='<namespace>' schema-version='<class schema version>'"
  virtual void WriteStandardAttributes(CCmlOutput& out) const;
  virtual void WriteChildElements(CCmlOutput& out, unsigned level) const;

  // The byte form converts through the stream's locale: imbue the UTF-8 facet first
  // (qelToolsLib::ImbueUtf8); non-ASCII text on a plain stream throws 0xC7380033.
  void SerializeElement(std::wostream& os, unsigned level) const;
  void SerializeElement(std::ostream& os, unsigned level) const;
  // The stream is imbued with the UTF-8 facet for the duration of the call.
  void Serialize(std::wostream& os) const;
  void Serialize(std::ostream& os) const;
  // Document form as UTF-8 bytes, straight into `utf8` (replaced only after a
  // complete write), without a stream: the same bytes as Serialize on a byte stream.
  void SerializeUtf8(std::string& utf8) const;
  void SerializeToFile(const std::wstring& path) const;   // path converted to UTF-8
  void SerializeToFile(const char* path) const;

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
