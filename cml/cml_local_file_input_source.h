// CCmlLocalFileInputSource: the input source of a parse from a local file: a Xerces
// LocalFileInputSource on the path converted to UTF-16 (a relative path is taken from
// the working directory). Used for files the parser reads and the schema files the
// entity resolver admits. Owned by the parsing call or, when the resolver returns it,
// by Xerces; one thread.
#ifndef QEL_CML_LOCAL_FILE_INPUT_SOURCE_H
#define QEL_CML_LOCAL_FILE_INPUT_SOURCE_H

#include <string>

#include <xercesc/framework/LocalFileInputSource.hpp>

namespace qel {
namespace cml {

class CCmlLocalFileInputSource : public xercesc::LocalFileInputSource {
 public:
  explicit CCmlLocalFileInputSource(const std::wstring& path);
  explicit CCmlLocalFileInputSource(const std::string& utf8Path);
  CCmlLocalFileInputSource(const CCmlLocalFileInputSource&) = delete;
  CCmlLocalFileInputSource& operator=(const CCmlLocalFileInputSource&) = delete;
  ~CCmlLocalFileInputSource() override;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_LOCAL_FILE_INPUT_SOURCE_H
