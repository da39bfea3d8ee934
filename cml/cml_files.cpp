#include "cml/cml_files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
bool MakeOne(const std::string& folder) {
  if (folder.empty()) return true;
  if (::mkdir(folder.c_str(), 0755) == 0) return true;
  struct stat st;
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Owns the descriptor of the new file and removes the file unless it was renamed.
class CTemporaryFile {
 public:
  explicit CTemporaryFile(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
      m_path = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
      m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (m_fd < 0 && errno != EEXIST) break;
    }
    m_created = m_fd >= 0;
  }
  CTemporaryFile(const CTemporaryFile&) = delete;
  CTemporaryFile& operator=(const CTemporaryFile&) = delete;
  ~CTemporaryFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (m_created && !m_kept) ::unlink(m_path.c_str());
  }

  bool Opened() const { return m_created; }
  bool Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }
  bool RenameTo(const std::string& path) {
    m_kept = ::rename(m_path.c_str(), path.c_str()) == 0;
    return m_kept;
  }

 private:
  std::string m_path;
  int m_fd = -1;
  bool m_created = false;
  bool m_kept = false;
};
}  // namespace

void CreateFolderFor(const std::string& path, const std::wstring& operation) {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return;
  std::string folder = path.substr(0, cut);
  for (std::size_t pos = folder.find_first_of("/\\", 1); ;
       pos = folder.find_first_of("/\\", pos + 1)) {
    std::string part = folder.substr(0, pos);
    if (!MakeOne(part)) {
      throw CCmlException(operation,
                          L"Unable to create folder; path = '" + FromUtf8(folder) + L"'",
                          codes::kFolderCreate);
    }
    if (pos == std::string::npos) break;
  }
}

void ReplaceFile(const std::string& path, const std::string& bytes, const std::wstring& operation) {
  CreateFolderFor(path, operation);
  CTemporaryFile file(path);
  if (!file.Opened()) {
    throw CCmlException(operation, L"Unable to open file '" + FromUtf8(path) + L"'",
                        codes::kFileOpen);
  }
  if (!file.Write(bytes) || !file.RenameTo(path)) {
    throw CCmlException(operation, L"Unable to write file '" + FromUtf8(path) + L"'",
                        codes::kFileOpen);
  }
}

}  // namespace cml
}  // namespace qel
