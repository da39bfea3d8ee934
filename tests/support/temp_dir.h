// A fresh folder under the system's temporary folder, removed with its contents when
// the object goes. Owned by one thread.
#ifndef QEL_TESTS_SUPPORT_TEMP_DIR_H
#define QEL_TESTS_SUPPORT_TEMP_DIR_H

#include <string>

namespace qeltest {

class temp_dir {
 public:
  temp_dir();  // throws std::runtime_error when the folder cannot be made
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_TEMP_DIR_H
