// Writers for DOM subtrees, used where a document keeps part of its content as DOM
// (policy nodes). Content goes out exactly as it came in: the formatted form puts
// the children of element-only content on lines of their own, indented, and writes
// every other element (text, CDATA, mixed content, xml:space='preserve') as it is;
// the unformatted form writes every node back to back. Comments, processing
// instructions and CDATA sections are written as what they are. Namespace
// declarations are added wherever the written text would otherwise read back in
// another namespace (a prefix bound above the subtree, a namespace-less element under
// a default namespace). Both forms check the subtree's element depth first.
// Stateless; the node's document must not change while it is written.
#ifndef QEL_CML_NODE_WRITER_H
#define QEL_CML_NODE_WRITER_H

#include <iosfwd>
#include <string>

#include "cml/cml_dom_node.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

void SerializeNode(const CCmlDOM_Node& node, CCmlOutput& out);
void SerializeNodeFormatted(const CCmlDOM_Node& node, CCmlOutput& out, unsigned level);

void SerializeNode(const CCmlDOM_Node& node, std::wostream& os);
void SerializeNode(const CCmlDOM_Node& node, std::ostream& os);
void SerializeNodeFormatted(const CCmlDOM_Node& node, std::wostream& os, unsigned level);
void SerializeNodeFormatted(const CCmlDOM_Node& node, std::ostream& os, unsigned level);

// File forms: create the folder and replace the file (UTF-8) with the node's text;
// a failed write leaves an existing file as it was.
void SerializeNodeToFile(const CCmlDOM_Node& node, const char* path);
void SerializeNodeFormattedToFile(const CCmlDOM_Node& node, const char* path);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_NODE_WRITER_H
