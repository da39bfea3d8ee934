#include "qelToolsLib/qelCatalog.h"

#include <nl_types.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qelToolsLib/jslock.h"

namespace qelToolsLib {
namespace catalog {

namespace {

const nl_catd kNotOpen = reinterpret_cast<nl_catd>(-1);
std::atomic<nl_catd> g_catalog{kNotOpen};

jsFastSync& catalogLock() {
  static jsFastSync lock;
  return lock;
}

// putenv keeps the pointer it is given, so the texts live as long as the process
// (never destroyed: getenv may scan the environment during exit). The environment
// refers to at most one of the two at a time, so the other may be rewritten.
std::string& searchEntry() {
  static std::string* entry = new std::string;
  return *entry;
}
std::string& restoreEntry() {
  static std::string* entry = new std::string;
  return *entry;
}
char g_langC[] = "LANG=C";
char g_langEmpty[] = "LANG=";

std::string searchPath(const char* directory) {
  std::string path;
  if (directory != nullptr && *directory != '\0') {
    path += std::string(directory) + "/%L/LC_MESSAGES/%N.cat:";
    path += std::string(directory) + "/C/LC_MESSAGES/%N.cat";
    path += ":";
  }
  path += "/usr/lib/spa/nls/%L/LC_MESSAGES/%N.cat";
  path += ":/usr/lib/spa/nls/C/LC_MESSAGES/%N.cat";
  return path;
}

// Opens through the search path with the environment changed for the call only.
nl_catd openWithSearchPath(const char* directory, const char* name, const char* locale) {
  const char* oldValue = std::getenv("NLSPATH");
  const bool hadNlspath = oldValue != nullptr;
  const std::string old = hadNlspath ? oldValue : "";
  std::string& search = searchEntry();
  search = "NLSPATH=" + searchPath(directory);
  if (!old.empty()) search += ":" + old;
  putenv(&search[0]);

  const char* lang = std::getenv("LANG");
  const bool langUnset = lang == nullptr;
  const bool setLang = lang == nullptr || *lang == '\0';
  if (setLang) putenv(g_langC);

  if (locale != nullptr) std::setlocale(LC_ALL, locale);
  nl_catd cat = catopen(name, NL_CAT_LOCALE);
  const int openErrno = errno;

  if (hadNlspath) {
    std::string& restore = restoreEntry();
    restore = "NLSPATH=" + old;
    putenv(&restore[0]);
  } else {
    unsetenv("NLSPATH");
  }
  if (setLang && langUnset) {
    unsetenv("LANG");
  } else if (setLang) {
    putenv(g_langEmpty);
  }
  errno = openErrno;
  return cat;
}

// The fallback: the name relative to the working folder.
nl_catd openLocal(const char* name) {
  std::string local = std::string("./") + name;
  if (std::strstr(name, ".cat") == nullptr) local += ".cat";
  return catopen(local.c_str(), NL_CAT_LOCALE);
}

}  // namespace

uint32_t open(const char* directory, const char* name, const char* locale) noexcept {
  if (name == nullptr) return EINVAL;
  try {
    jsFastLock hold(catalogLock());
    if (g_catalog.load() != kNotOpen) return 0;
    nl_catd cat = openWithSearchPath(directory, name, locale);
    if (cat == kNotOpen) cat = openLocal(name);
    if (cat == kNotOpen) return errno != 0 ? static_cast<uint32_t>(errno) : ENOENT;
    g_catalog.store(cat);
    return 0;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
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
