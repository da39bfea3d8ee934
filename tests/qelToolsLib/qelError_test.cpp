// Status values: identifiers, texts with and without the catalog, wrapping, errno
// translation, and opening the catalog (search path, fallback, environment kept).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "qelToolsLib/qelCatalog.h"
#include "qelToolsLib/qelError.h"
#include "qelToolsLib/qelMessageText.h"
#include "tests/support/files.h"
#include "tests/support/fresh_process.h"

namespace {

namespace msg = qelToolsLib::msgtext;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "<unset>";
}

std::string builtCatalog() { return QEL_TEST_BUILT_CATALOG; }

// Each test starts with the catalog closed and gets the environment back.
class QelErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qelToolsLib::catalog::close();
    m_nlspath = env("NLSPATH");
  }
  void TearDown() override {
    qelToolsLib::catalog::close();
    if (m_nlspath == "<unset>")
      unsetenv("NLSPATH");
    else
      setenv("NLSPATH", m_nlspath.c_str(), 1);
  }
  std::string m_nlspath;
};

TEST_F(QelErrorTest, IdentifierIsDecimalBelow0x10000ElseHex) {
  EXPECT_STREQ(QELError(5).getId(), "5");
  EXPECT_STREQ(QELError(0xFFFF).getId(), "65535");
  EXPECT_STREQ(QELError(0x10000).getId(), "0x00010000");
  EXPECT_STREQ(QELError(0xC7210003).getId(), "0xc7210003");
}

// Without a catalog the texts compiled from the status table are used: a status the
// table knows never reads as a placeholder.
TEST_F(QelErrorTest, TextsBeforeTheCatalogIsOpen) {
  QELError error(0xC7210003);
  EXPECT_STREQ(error.getText(), "One or more arguments are invalid. [ID=0xc7210003]");
  EXPECT_EQ(error.getStatus(), 0xC7210003u);
  EXPECT_STREQ(QELError(0xC72B0011).getText(),
               "Status 17 reported by another component. [ID=0xc72b0011]");
  EXPECT_STREQ(QELError(0xC7210FFF).getText(),
               "Status 2 retrieving message text for [0xc7210fff] [ID=0xc7210fff]");
  QELError plain(2);
  EXPECT_EQ(std::string(plain.getText()), std::string(std::strerror(2)) + " [ID=2]");
  EXPECT_EQ(std::string(plain.getText(0)), std::string(std::strerror(2)) + " [ID=2]\n");
  plain.setForceCatalog(true);
  EXPECT_STREQ(plain.getText(), "Status 2 retrieving message text for [2] [ID=2]");
  plain.setStatus(0xC721002A);
  EXPECT_STREQ(plain.getId(), "0xc721002a");
}

TEST_F(QelErrorTest, OpenedCatalogGivesTheTextOfEveryToolkitStatus) {
  ASSERT_EQ(QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", ""), 0u);
  std::ifstream defs(QEL_TEST_TOOLKIT_DEF);
  ASSERT_TRUE(defs.good());
  std::string line;
  int checked = 0;
  while (std::getline(defs, line)) {
    // QEL_STATUS(NAME, 0xCODE, "text")
    const size_t code = line.find(", 0x"), open = line.find('"'), close = line.rfind('"');
    if (line.rfind("QEL_STATUS(", 0) != 0 || code == std::string::npos || open == close) continue;
    const std::string text = line.substr(open + 1, close - open - 1);
    if (text.find("%1") != std::string::npos) continue;  // checked below
    QELError error(static_cast<uint32_t>(std::stoul(line.substr(code + 2), nullptr, 16)));
    const std::string expected = text + " [ID=" + error.getId() + "]";
    EXPECT_EQ(error.getText(), expected);
    ++checked;
  }
  EXPECT_GE(checked, 20);
  EXPECT_STREQ(QELError(0xC72B0011).getText(),
               "Status 17 reported by another component. [ID=0xc72b0011]");
  EXPECT_STREQ(QELError(0xC8001234).getText(),
               "Status 0x1234 of an unknown facility. [ID=0xc8001234]");
  EXPECT_STREQ(QELError(0x47210047).getText(0),
               "The connection server failed (the trace output names the failing operation). "
               "[ID=0x47210047]\n");
  // A status the catalog does not hold reports catgets' errno.
  EXPECT_EQ(std::string(QELError(0xC7210FFF).getText()),
            "Status " + std::to_string(ENOMSG) +
                " retrieving message text for [0xc7210fff] [ID=0xc7210fff]");
}

// The host's environment and locale are its own: opening the catalog changes neither,
// even when the environment names another locale than the one the process runs in.
TEST_F(QelErrorTest, OpeningKeepsTheEnvironmentAndTheLocale) {
  setenv("NLSPATH", "/nonexistent/%N", 1);
  unsetenv("LANG");
  setenv("LC_ALL", "C.UTF-8", 1);
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  ASSERT_EQ(QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", ""), 0u);
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), locale);
  EXPECT_EQ(env("NLSPATH"), "/nonexistent/%N");
  EXPECT_EQ(env("LANG"), "<unset>");
  EXPECT_EQ(QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", ""), 0u) << "already open";
  unsetenv("LC_ALL");
}

// Without NLSPATH the catalog is found beside the code: this test program sits in
// <build>/bin and the built catalog in <build>/nls.
TEST_F(QelErrorTest, CatalogBesideTheLibraryIsFoundWithoutNlspath) {
  unsetenv("NLSPATH");
  ASSERT_EQ(QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", ""), 0u);
  EXPECT_TRUE(qelToolsLib::catalog::isOpen());
  EXPECT_EQ(env("NLSPATH"), "<unset>");
  errno = 0;
  EXPECT_STREQ(qelToolsLib::catalog::lookup(0xC7210004), "Insufficient memory.");
  qelToolsLib::catalog::close();
  EXPECT_NE(QELError::openCatalog(nullptr, "qel-no-such-catalog", ""), 0u);
  EXPECT_FALSE(qelToolsLib::catalog::isOpen());
}

}  // namespace

// Writes catalogs into the working folder: runs in a fresh temporary one.
QEL_FRESH_PROCESS_TEST(QelErrorCatalogFiles, InAGivenFolderOrTheWorkingFolder) {
  qelToolsLib::catalog::close();
  unsetenv("NLSPATH");

  const std::string dir = "catalog-dir";
  ASSERT_EQ(system(("mkdir -p " + dir + "/C/LC_MESSAGES").c_str()), 0);
  qeltest::copy_file(builtCatalog(), dir + "/C/LC_MESSAGES/qel-test.cat");
  EXPECT_EQ(QELError::openCatalog(dir.c_str(), "qel-test", ""), 0u);
  EXPECT_STREQ(QELError(0xC7210004).getText(), "Insufficient memory. [ID=0xc7210004]");
  qelToolsLib::catalog::close();

  qeltest::copy_file(builtCatalog(), "./qel-local-test.cat");
  EXPECT_EQ(QELError::openCatalog(nullptr, "qel-local-test", ""), 0u);
  EXPECT_STREQ(QELError(0xC7210004).getText(), "Insufficient memory. [ID=0xc7210004]");
  qelToolsLib::catalog::close();
}

namespace {

TEST(QelErrorText, WrapsAtTheWidthAndPlacesTheIdentifier) {
  EXPECT_EQ(msg::wrap("aaa bbb ccc", 7), "aaa bbb\nccc");
  EXPECT_EQ(msg::wrap("aaa bbb ccc", 8), "aaa bbb\nccc");
  EXPECT_EQ(msg::wrap("abcdefghij", 4), "abcd\nefgh\nij");
  EXPECT_EQ(msg::wrap("ab\tcd ef", 10), "ab\tcd\nef") << "the tab reaches column 8";
  EXPECT_EQ(msg::wrap("one\ntwo three", 9), "one\ntwo three");
  EXPECT_EQ(msg::wrap(std::string(300, 'x'), 255), std::string(300, 'x'));
  EXPECT_EQ(msg::wrap("aaa bbb", 0), "aaa bbb");

  std::string text = "no blanks \t\n\n";
  msg::trimTrailing(text);
  EXPECT_EQ(text, "no blanks");

  EXPECT_EQ(msg::decorate("abc", "5", 0), "abc [ID=5]\n");
  EXPECT_EQ(msg::decorate("abc", "5", 255), "abc [ID=5]");
  EXPECT_EQ(msg::decorate("abc", "5", 10), "abc [ID=5]") << "3 + 1 + 6 fits 10";
  EXPECT_EQ(msg::decorate("abcd", "5", 10), "abcd\n[ID=5]");
  EXPECT_EQ(msg::decorate("x\nabcd", "5", 10), "x\nabcd\n[ID=5]");
  EXPECT_EQ(msg::substitute("a %1 b %1", "7"), "a 7 b 7");

  QELError error(2);
  const std::string narrow = error.getText(12);
  EXPECT_EQ(narrow.back(), ']');
  EXPECT_NE(narrow.find("\n[ID=2]"), std::string::npos) << narrow;
}

TEST(QelErrorText, TranslatesOperatingSystemNumbers) {
  EXPECT_EQ(QELError::fromErrno(ENOENT), 0xC721000Au);
  EXPECT_EQ(QELError::fromErrno(84), 84u) << "not in the table";
  EXPECT_EQ(QELError::fromErrno(0), 0u);
  EXPECT_EQ(QELError::fromErrno(10000), 0xC7272710u);
  EXPECT_EQ(QELError::fromErrno(12000), 0xC7272EE0u);
  EXPECT_EQ(QELError::fromErrno(12001), 12001u);
  EXPECT_EQ(QELError::fromErrno(0x00090005), 0xC72D0005u);
  EXPECT_EQ(QELError::fromErrno(0xC0090000), 0xC0090000u) << "a zero number stays";
  EXPECT_EQ(QELError::fromErrno(0xC7210003), 0xC7210003u);
  EXPECT_EQ(QELError::fromErrno(0x47FB0002), 0x47FB0002u);
  EXPECT_EQ(QELError::fromErrno(0x07FC0002), 0x07FC0002u) << "outside the family, not listed";
}

}  // namespace
