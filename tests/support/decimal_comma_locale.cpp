#include "tests/support/decimal_comma_locale.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace qeltest {
namespace {

namespace fs = std::filesystem;

constexpr char kLocale[] = "de_DE.UTF-8";

// Compiles the locale into a private folder and renames it into place, so test
// processes running at once never see a half-written locale.
bool make_locale(const fs::path& folder) {
  if (fs::exists(folder / kLocale)) return true;
  std::string work = (fs::temp_directory_path() / "qeltest-locale-XXXXXX").string();
  if (mkdtemp(work.data()) == nullptr) return false;
  const std::string command = "localedef -i de_DE -f UTF-8 " + work + "/" + kLocale +
                              " >/dev/null 2>&1";
  std::error_code ignored;
  if (std::system(command.c_str()) == 0) {
    fs::create_directories(folder, ignored);
    fs::rename(fs::path(work) / kLocale, folder / kLocale, ignored);
  }
  fs::remove_all(work, ignored);
  return fs::exists(folder / kLocale);
}

}  // namespace

bool use_decimal_comma_locale() {
  const fs::path folder = fs::temp_directory_path() / "qeltest-locales";
  if (!make_locale(folder)) return false;
  setenv("LOCPATH", folder.c_str(), 1);
  if (std::setlocale(LC_NUMERIC, kLocale) == nullptr) return false;
  return std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

}  // namespace qeltest
