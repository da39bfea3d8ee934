#include "cml/cml_entity_resolver.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <xercesc/util/XMLResourceIdentifier.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_local_file_input_source.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {

std::string Canonical(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

bool StartsWith(const std::string& text, const char* start) {
  return text.compare(0, std::char_traits<char>::length(start), start) == 0;
}

// The path of a file URI ("file:///p", "file://localhost/p", "file:/p"); a system id
// without the scheme as it is; empty for a file URI that names another host.
std::string StripFileScheme(const std::string& id) {
  if (!StartsWith(id, "file:")) return id;
  const std::string rest = id.substr(5);
  if (StartsWith(rest, "///")) return rest.substr(2);
  if (StartsWith(rest, "//localhost/")) return rest.substr(11);
  if (StartsWith(rest, "/") && !StartsWith(rest, "//")) return rest;
  return std::string();
}

// Only a regular file with content can be a schema. Devices, pipes and folders are
// none, and the kernel's pseudo-files (which report size 0, and some of which block
// when read) neither.
bool IsSchemaFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

// Schema locations escape blanks as "%20"; file names have them plain.
std::string PercentDecoded(const std::string& id) {
  std::string out;
  for (std::size_t i = 0; i < id.size(); ++i) {
    if (id[i] == '%' && i + 2 < id.size() && std::isxdigit(static_cast<unsigned char>(id[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(id[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(id.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(id[i]);
    }
  }
  return out;
}

bool HasScheme(const std::string& id) {
  std::size_t colon = id.find(':');
  return colon != std::string::npos && id.find('/') > colon;
}

bool IsSchemaLoad(xercesc::XMLResourceIdentifier::ResourceIdentifierType type) {
  using R = xercesc::XMLResourceIdentifier;
  return type == R::SchemaGrammar || type == R::SchemaImport || type == R::SchemaInclude ||
         type == R::SchemaRedefine;
}

}  // namespace

namespace {

bool Inside(const std::string& real, const std::string& root) {
  return !real.empty() && !root.empty() && real.compare(0, root.size(), root) == 0 &&
         (real.size() == root.size() || root == "/" || real[root.size()] == '/');
}

// The local path a system id names, relative ones against the base's folder or the
// working directory; empty when it names something that is not a local file.
std::string LocalPath(const std::string& systemId, const std::string& baseUri) {
  if (systemId.empty()) return std::string();
  std::string path = PercentDecoded(StripFileScheme(systemId));
  // http:, ftp:, a file URI of another host and the like: never.
  if (path.empty() || HasScheme(path)) return std::string();
  if (path[0] != '/') {
    std::string base = PercentDecoded(StripFileScheme(baseUri));
    std::size_t cut = base.rfind('/');
    if (!base.empty() && base[0] == '/' && cut != std::string::npos) {
      path = base.substr(0, cut + 1) + path;
    }
  }
  return path;
}

// The absolute form of `path` with ".", ".." and repeated "/" resolved by the text
// alone (for paths that do not exist, so that realpath cannot help).
std::string Lexical(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    full = std::string(cwd ? cwd.get() : "") + "/" + full;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? std::string("/") : out;
}

}  // namespace

std::string CCmlEntityResolver::AdmittedPath(const std::string& systemId,
                                             const std::string& baseUri,
                                             const std::string& folder) {
  std::string path = LocalPath(systemId, baseUri);
  if (path.empty()) return std::string();
  std::string real = Canonical(path);
  if (real.empty() || !IsSchemaFile(real)) return std::string();
  if (!folder.empty()) {
    std::string root = Canonical(folder);
    if (!Inside(real, root) || real.size() == root.size()) return std::string();
  }
  return real;
}

bool CCmlEntityResolver::MissingInsideFolder(const std::string& systemId,
                                             const std::string& baseUri,
                                             const std::string& folder) {
  std::string path = LocalPath(systemId, baseUri);
  if (path.empty() || !Canonical(path).empty()) return false;
  if (folder.empty()) return true;
  // A folder that does not exist holds nothing: a schema named inside it is missing.
  if (Canonical(folder).empty()) return Inside(Lexical(path), Lexical(folder));
  // Climb to the nearest existing folder; the missing part may not step upwards.
  std::string existing = path;
  while (true) {
    std::size_t cut = existing.rfind('/');
    if (cut == std::string::npos) return false;
    std::string name = existing.substr(cut + 1);
    if (name == "." || name == "..") return false;
    existing = existing.substr(0, cut);
    if (existing.empty()) existing = "/";
    if (!Canonical(existing).empty()) break;
    if (existing == "/") return false;
  }
  return Inside(Canonical(existing), Canonical(folder));
}

xercesc::InputSource* CCmlEntityResolver::resolveEntity(xercesc::XMLResourceIdentifier* id) {
  std::string systemId = id != nullptr ? ToUtf8(FromXml(id->getSystemId())) : std::string();
  if (m_schemas && id != nullptr && IsSchemaLoad(id->getResourceIdentifierType())) {
    // An import by namespace alone names no file: its grammar comes from another
    // location hint, and with default resolution off nothing is opened here.
    if (systemId.empty()) return nullptr;
    std::string admitted =
        AdmittedPath(systemId, ToUtf8(FromXml(id->getBaseURI())), m_folder);
    if (!admitted.empty()) {
      return new CCmlLocalFileInputSource(admitted);
    }
    // A schema the folder does not hold: nothing is loaded, and validation reports
    // the elements it cannot check.
    std::string baseUri = ToUtf8(FromXml(id->getBaseURI()));
    if (MissingInsideFolder(systemId, baseUri, m_folder)) return nullptr;
  }
  throw CCmlException(L"Parse operation",
                      L"Refused to load external resource \"" + FromUtf8(systemId) + L"\"",
                      qel::status::CML_ENTITY_REFUSED);
}

}  // namespace cml
}  // namespace qel
