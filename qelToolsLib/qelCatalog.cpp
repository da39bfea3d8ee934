#include "qelToolsLib/qelCatalog.h"

#include <nl_types.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "qelToolsLib/jsexception.h"
#include "qelToolsLib/jslock.h"
#include "qelToolsLib/qelLibraryFolder.h"

namespace qelToolsLib {
namespace catalog {

namespace {

const nl_catd kNotOpen = reinterpret_cast<nl_catd>(-1);
std::atomic<nl_catd> g_catalog{kNotOpen};

jsFastSync& catalogLock() {
  static jsFastSync lock;
  return lock;
}

// The file name as the search paths use it: ".cat" added unless the name holds it.
std::string catFileName(const char* name) {
  std::string file = name;
  if (std::strstr(name, ".cat") == nullptr) file += ".cat";
  return file;
}

// The host's LC_MESSAGES locale, only read: the library never sets a locale.
std::string messagesLocale() {
  const char* locale = std::setlocale(LC_MESSAGES, nullptr);
  return locale != nullptr && *locale != '\0' ? locale : "C";
}

// The folders searched before NLSPATH: the given one, then /usr/lib/spa/nls, each with
// the host's locale and then "C" (the pattern "<folder>/%L/LC_MESSAGES/%N.cat").
std::vector<std::string> folderFiles(const char* directory, const char* name) {
  std::vector<std::string> folders;
  if (directory != nullptr && *directory != '\0') folders.emplace_back(directory);
  folders.emplace_back("/usr/lib/spa/nls");
  std::vector<std::string> files;
  for (const std::string& folder : folders)
    for (const std::string& locale : {messagesLocale(), std::string("C")})
      files.push_back(folder + "/" + locale + "/LC_MESSAGES/" + name + ".cat");
  return files;
}

// The catalog installed beside the library: in its folder, in ../nls (the build
// tree: lib/ and nls/), and in the data folder of an installation with a plain or
// a multiarch library folder.
std::vector<std::string> besideLibraryFiles(const char* name) {
  const std::string folder = qelLibraryFolder();
  const std::string file = catFileName(name);
  return {folder + "/" + file, folder + "/../nls/" + file,
          folder + "/../share/qelConnectionServer/" + file,
          folder + "/../../share/qelConnectionServer/" + file};
}

// A name holding '/' is opened as it is, without any search.
nl_catd openFirst(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    nl_catd cat = catopen(file.c_str(), NL_CAT_LOCALE);
    if (cat != kNotOpen) return cat;
  }
  return kNotOpen;
}

// Every place in order; errno tells why the last one failed.
nl_catd openAnywhere(const char* directory, const char* name) {
  nl_catd cat = openFirst(folderFiles(directory, name));
  // NLSPATH, then the C library's own search path.
  if (cat == kNotOpen && std::strchr(name, '/') == nullptr) cat = catopen(name, NL_CAT_LOCALE);
  if (cat == kNotOpen) cat = openFirst({"./" + catFileName(name)});
  if (cat == kNotOpen) cat = openFirst(besideLibraryFiles(name));
  return cat;
}

}  // namespace

uint32_t open(const char* directory, const char* name, const char* /*locale*/) noexcept {
  if (name == nullptr) return EINVAL;
  try {
    jsFastLock hold(catalogLock());
    if (g_catalog.load() != kNotOpen) return 0;
    nl_catd cat = openAnywhere(directory, name);
    if (cat == kNotOpen) return errno != 0 ? static_cast<uint32_t>(errno) : ENOENT;
    g_catalog.store(cat);
    return 0;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  } catch (const jsException&) {
    return ENOLCK;
  }
}

void close() noexcept {
  jsFastLock hold(catalogLock());
  nl_catd cat = g_catalog.exchange(kNotOpen);
  if (cat != kNotOpen) catclose(cat);
}

bool isOpen() noexcept { return g_catalog.load() != kNotOpen; }

int setOf(uint32_t status) noexcept {
  const int facility = static_cast<int>((status >> 16) & 0xFFF);
  if (facility <= 2) return facility + 1;
  if (facility > 1791) return facility - 1788;
  return NL_SETMAX;
}

int messageOf(uint32_t status) noexcept {
  const uint32_t severity = status >> 30;
  const uint32_t code = status & 0xFFFF & ~0x6000u;
  return static_cast<int>(code | ((severity ^ 3u) << 13));
}

const char* lookup(uint32_t status) noexcept {
  nl_catd cat = g_catalog.load();
  if (cat == kNotOpen) {
    errno = ENOENT;
    return nullptr;
  }
  errno = 0;
  const char* text = catgets(cat, setOf(status), messageOf(status), nullptr);
  if (text == nullptr && errno == 0) errno = ENOMSG;
  return text;
}

}  // namespace catalog
}  // namespace qelToolsLib
