// Writers for DOM subtrees, used where a document keeps part of its content as DOM
// (policy nodes). Formatted form: one node per line, indented; unformatted form:
// the nodes back to back. Both check the subtree's element depth first. Stateless.
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

// File forms: create the folder, open the file (UTF-8) and write the node.
void SerializeNodeToFile(const CCmlDOM_Node& node, const char* path);
void SerializeNodeFormattedToFile(const CCmlDOM_Node& node, const char* path);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_NODE_WRITER_H
