// CGroupSettingsNode: one node of a group settings policy's content. The settings
// vocabulary (agent settings, controller lists, poster and TQE settings, adaptive
// policy settings and whatever later schema versions add) is open, so each element is
// kept as a node: its local name and namespace, its attributes in order, its text
// and its child nodes; comments and processing instructions are nodes of their own,
// in their place among the children. Reading and writing keep every value: the text
// of a node that has children is written in front of them, and text that is only
// white space beside child nodes is formatting, not a value. A plain value; one
// thread at a time.
#ifndef QEL_CML_GROUP_SETTINGS_NODE_H
#define QEL_CML_GROUP_SETTINGS_NODE_H

#include <string>
#include <vector>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CGroupSettingsNode {
 public:
  struct Attribute {
    std::wstring name;          // qualified name as written
    std::wstring namespaceUri;  // of a prefixed name; empty otherwise
    std::wstring value;
  };

  // An element; a comment (its text); a processing instruction (target as the name,
  // data as the text).
  enum class Kind { Element, Comment, ProcessingInstruction };

  CGroupSettingsNode() = default;
  CGroupSettingsNode(std::wstring name, std::wstring ns)
      : m_name(std::move(name)), m_namespace(std::move(ns)) {}
  static CGroupSettingsNode MakeComment(std::wstring text);
  static CGroupSettingsNode MakeProcessingInstruction(std::wstring target, std::wstring data);

  Kind GetKind() const { return m_kind; }
  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetNamespace() const { return m_namespace; }
  const std::wstring& GetText() const { return m_text; }
  void SetText(const std::wstring& text) { m_text = text; }
  const std::vector<Attribute>& GetAttributes() const { return m_attributes; }
  // The value of the unprefixed attribute `name`, or null.
  const std::wstring* GetAttribute(const std::wstring& name) const;
  // Replaces the value of the unprefixed attribute `name` or appends it.
  void SetAttribute(const std::wstring& name, const std::wstring& value);
  void SetAttributeNS(const std::wstring& uri, const std::wstring& qualifiedName,
                      const std::wstring& value);
  void RemoveAttribute(const std::wstring& name);
  const std::vector<CGroupSettingsNode>& GetChildren() const { return m_children; }
  std::vector<CGroupSettingsNode>& GetChildren() { return m_children; }
  CGroupSettingsNode& AddChild(const std::wstring& name, const std::wstring& ns);
  CGroupSettingsNode& AddComment(const std::wstring& text);
  CGroupSettingsNode& AddProcessingInstruction(const std::wstring& target,
                                               const std::wstring& data);
  // The first child element called `name` in `ns`, or null.
  const CGroupSettingsNode* FindChild(const std::wstring& name, const std::wstring& ns) const;
  CGroupSettingsNode* FindChild(const std::wstring& name, const std::wstring& ns);

  // Level meaning "on the current line, no indentation and no line ends".
  static constexpr unsigned kInline = ~0u;

  // The node at `level` (or kInline); "xmlns" is written when the namespace differs
  // from `parentNamespace`. Nesting deeper than the element depth limit throws
  // 0xC7380030; a name, comment or instruction that cannot be written (one that would
  // not read back, cml_xml_chars.h) throws 0xC7210003.
  void WriteElement(CCmlOutput& out, unsigned level, const std::wstring& parentNamespace,
                    unsigned depth = 1) const;
  // Replaces the node by the element (namespace declarations are not attributes).
  void Deserialize(const CCmlDOM_Element& element);
  // Appends the comments, processing instructions and elements among `parent`'s
  // children to `nodes`, in order, and returns the text beside them.
  static std::wstring ReadChildren(const CCmlDOM_Node& parent,
                                   std::vector<CGroupSettingsNode>& nodes);

 private:
  void WriteAttributes(CCmlOutput& out) const;
  void WriteMarkup(CCmlOutput& out, unsigned level) const;

  Kind m_kind = Kind::Element;
  std::wstring m_name;
  std::wstring m_namespace;
  std::vector<Attribute> m_attributes;
  std::wstring m_text;
  std::vector<CGroupSettingsNode> m_children;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_GROUP_SETTINGS_NODE_H
