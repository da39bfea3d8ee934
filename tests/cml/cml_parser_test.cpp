// The CML parser: error reports, namespace sets, validation decisions, schema
// compatibility, and hostile input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "cml/cml_entity_resolver.h"
#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_parser.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"
#include "cml/cml_xerces.h"
#include "cml_test_util.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;

std::uint32_t ParseCode(const std::string& text, int mode = kParseNoValidation) {
  return CodeOf([&] {
    CCmlParser parser;
    parser.Parse(text.data(), text.size(), mode);
  });
}

TEST(Parser, RecordsRootFieldsAndReportsFatalErrors) {
  const std::string xml = "<m:root xmlns:m='urn:m' schema-version='1.2.3'><a/></m:root>";
  CCmlParser parser;
  parser.Parse(xml.data(), xml.size(), kParseNoValidation);
  EXPECT_EQ(parser.GetRootTagName(), L"m:root");
  EXPECT_EQ(parser.GetRootNamespace(), L"urn:m");
  EXPECT_EQ(parser.GetRootSchemaVersion(), L"1.2.3");
  const std::string bad = "<a><b></a>";
  try {
    parser.Parse(bad.data(), bad.size(), kParseNoValidation);
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC7380003u);
    EXPECT_EQ(e.GetOperation(), L"Parse operation");
    EXPECT_EQ(e.GetText().rfind(L"Fatal error parsing input \"QEL CML Stream\", line ", 0), 0u);
  }
  EXPECT_EQ(ParseCode(""), 0xC7380003u);
}

// Files are read like buffers and named in the reports. A document whose declared
// encoding contradicts its byte order mark draws a warning, which also ends the parse.
TEST(Parser, ParseFileAndTheWarningPath) {
  const std::string path = ::testing::TempDir() + "cml_parse_file.xml";
  std::ofstream(path, std::ios::binary)
      << "\xef\xbb\xbf<?xml version='1.0' encoding='UTF-16'?><r/>";
  CCmlParser parser;
  try {
    parser.Parse(path, kParseNoValidation);
    FAIL() << "no warning";
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0x47380001u);
    const std::wstring start =
        L"Warning parsing input \"" + FromUtf8(path) + L"\", line 1, column 40\n   Message: ";
    EXPECT_EQ(e.GetText().substr(0, start.size()), start);
  }
  const std::string wide = ::testing::TempDir() + "cml_parse_file_\xc3\xa9.xml";
  std::ofstream(wide, std::ios::binary) << "<m:root xmlns:m='urn:m' schema-version='2.0.1'/>";
  parser.Parse(FromUtf8(wide), kParseNoValidation);
  EXPECT_EQ(parser.GetRootTagName(), L"m:root");
  EXPECT_EQ(parser.GetRootSchemaVersion(), L"2.0.1");
  EXPECT_EQ(CodeOf([&] { parser.Parse(path + ".missing", kParseNoValidation); }), 0xC7380003u);
}

TEST(Parser, InstanceNamespacesAndImplicitConflicts) {
  test::CSettingsGuard settings;
  CCmlParser parser;
  parser.AddNamespace(uri::kCommon, L"1.0.4");
  parser.AddNamespace(uri::kCommon, L"1.0.4");
  EXPECT_EQ(CodeOf([&] { parser.AddNamespace(uri::kCommon, L"1.0.3"); }), 0xC738000Eu);
  parser.RemoveNamespace(uri::kCommon);
  EXPECT_TRUE(parser.GetInstanceNamespaces().empty());
  CImplicitNamespaces::Add(CNamespace(L"urn:implicit", L"1.0.0"));
  CImplicitNamespaces::Add(CNamespace(L"urn:implicit", L"1.0.0"));
  EXPECT_EQ(CodeOf([] { CImplicitNamespaces::Add(CNamespace(L"urn:implicit", L"1.0.1")); }),
            0xC738000Eu);
  try {
    parser.AddNamespace(L"urn:implicit", L"1.0.0");
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC7380024u);
    EXPECT_EQ(e.GetOperation(), L"Adding namespace to CML parser");
  }
  CImplicitNamespaces::Remove(CNamespace(L"urn:implicit", L""));
  parser.AddNamespace(L"urn:implicit", L"1.0.0");
}

TEST(Parser, ValidationFollowsModeAndSwitch) {
  // No schema folder: validating finds no grammar, so any CML document is invalid.
  const std::string xml = "<qel xmlns='" + std::string("http://www.example.com") +
                          "' schema-version='1.0.0'/>";
  test::CSettingsGuard settings;
  SetValidation(false);
  EXPECT_EQ(ParseCode(xml, kParseByCheckMode), 0u);      // check mode 3, switch off
  EXPECT_EQ(ParseCode(xml, kParseValidate), 0xC7380002u);
  SetValidation(true);
  EXPECT_EQ(ParseCode(xml, kParseByCheckMode), 0xC7380002u);
}

TEST(Parser, FailedValidationReportsUnsupportedVersions) {
  const std::string base = "http://www.example.com";
  const std::string newer = "<qel xmlns='" + base + "' schema-version='1.0.2'><cml xmlns='" +
                            base + "/cml/Message' schema-version='1.0.0'/></qel>";
  try {
    CCmlParser parser;
    parser.Parse(newer.data(), newer.size(), kParseValidate);
    FAIL();
  } catch (const CSchemaException& e) {
    ASSERT_EQ(e.GetCount(), 1u);
    EXPECT_EQ(e.begin()->GetNamespace(), uri::kBase);
    EXPECT_EQ(e.begin()->GetSupportedVersion(), L"1.0.1");
    EXPECT_EQ(e.begin()->GetInstanceVersion(), L"1.0.2");
    EXPECT_EQ(e.GetCode(), 0xC7380002u);
  }
  // A "cml" element without a version is compared as the empty version.
  for (const std::string layer : {"/cml", "/cml/Message"}) {
    const std::string unversioned = "<qel xmlns='" + base +
                                    "' schema-version='1.0.1'><cml xmlns='" + base + layer +
                                    "'/></qel>";
    try {
      CCmlParser parser;
      parser.Parse(unversioned.data(), unversioned.size(), kParseValidate);
      FAIL();
    } catch (const CSchemaException& e) {
      ASSERT_EQ(e.GetCount(), 1u);
      EXPECT_EQ(e.begin()->GetNamespace(), FromUtf8(base + layer));
      EXPECT_EQ(e.begin()->GetSupportedVersion(), layer == "/cml" ? L"2.4.2" : L"1.0.0");
      EXPECT_EQ(e.begin()->GetInstanceVersion(), L"");
    }
  }
  const std::string same = "<qel xmlns='" + base + "' schema-version='1.0.0'/>";
  try {
    CCmlParser parser;
    parser.Parse(same.data(), same.size(), kParseValidate);
    FAIL();
  } catch (const CSchemaException&) {
    FAIL() << "an older version is compatible";
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC7380002u);
  }
}

// Both message layers are checked when validation fails: "cml" in "/cml" against
// 2.4.2 and in "/cml/Message" against 1.0.0; older or equal patch levels are fine.
TEST(Parser, CompatibilityOfTheTwoMessageLayers) {
  const std::string base = "http://www.example.com";
  auto incompatibilities = [&](const std::string& old, const std::string& current) {
    const std::string xml = "<qel xmlns='" + base + "' schema-version='1.0.1'><cml xmlns='" + base +
                            "/cml' schema-version='" + old + "'/><cml xmlns='" + base +
                            "/cml/Message' schema-version='" + current + "'/></qel>";
    CCmlParser parser;
    try {
      parser.Parse(xml.data(), xml.size(), kParseValidate);
    } catch (const CSchemaException& e) {
      std::wstring found;
      for (const CSchemaIncompatibility& i : e) {
        found += i.GetNamespace().substr(base.size()) + L" " + i.GetSupportedVersion() + L" " +
                 i.GetInstanceVersion() + L";";
      }
      return found;
    } catch (const CCmlException& e) {
      EXPECT_EQ(e.GetCode(), 0xC7380002u);  // invalid, but every version is supported
    }
    return std::wstring();
  };
  EXPECT_EQ(incompatibilities("2.4.1", "1.0.0"), L"");
  EXPECT_EQ(incompatibilities("2.4.2", "0.9.0"), L"/cml/Message 1.0.0 0.9.0;");
  EXPECT_EQ(incompatibilities("2.4.3", "1.0.1"), L"/cml 2.4.2 2.4.3;/cml/Message 1.0.0 1.0.1;");
  EXPECT_EQ(incompatibilities("2.5.0", "2.0.0"), L"/cml 2.4.2 2.5.0;/cml/Message 1.0.0 2.0.0;");
  EXPECT_EQ(incompatibilities("2.4.10", "1.0.0"), L"/cml 2.4.2 2.4.10;");  // 10 > 2
}

TEST(ParserHardening, RefusesDoctypeAndExternalEntities) {
  const std::string secret = ::testing::TempDir() + "cml_secret.txt";
  std::ofstream(secret) << "TOP-SECRET";
  const std::string xxe = "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x SYSTEM 'file://" +
                          secret + "'>]><r>&x;</r>";
  EXPECT_EQ(ParseCode(xxe), 0xC7380003u);
  EXPECT_EQ(ParseCode("<!DOCTYPE r SYSTEM 'http://127.0.0.1:9/x.dtd'><r/>"), 0xC7380003u);
  EXPECT_EQ(ParseCode("<!DOCTYPE r><r/>"), 0xC7380003u);
  std::string laughs = "<!DOCTYPE l [<!ENTITY a 'aaaaaaaaaa'>";
  for (char c = 'b'; c <= 'j'; ++c) {
    std::string prev(1, static_cast<char>(c - 1));
    laughs += std::string("<!ENTITY ") + c + " '";
    for (int i = 0; i < 10; ++i) laughs += "&" + prev + ";";
    laughs += "'>";
  }
  laughs += "]><l>&j;</l>";
  EXPECT_EQ(ParseCode(laughs), 0xC7380003u);
  // A schema the document names on the network is never fetched, in no form; one
  // named on another host by a file URI neither.
  for (const std::string location :
       {"http://127.0.0.1:9/x.xsd", "https://127.0.0.1:9/x.xsd", "ftp://127.0.0.1:9/x.xsd",
        "file://otherhost/x.xsd", "http%3A//127.0.0.1:9/x.xsd"}) {
    EXPECT_EQ(ParseCode("<r xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                        "xsi:noNamespaceSchemaLocation='" +
                            location + "'/>",
                        kParseValidate),
              0xC7380031u)
        << location;
  }
  // A local one outside a configured schema folder is refused; without a folder it is
  // read as a schema (and this one is none), but its content appears in no report.
  const std::string named =
      "<r xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
      "xsi:noNamespaceSchemaLocation='file://" +
      secret + "'/>";
  const std::string folder = ::testing::TempDir() + "cml_hardening_schemas";
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  EXPECT_EQ(CodeOf([&] {
              CCmlParser parser;
              parser.Parse(named.data(), named.size(), kParseValidate, FromUtf8(folder));
            }),
            0xC7380031u);
  try {
    CCmlParser parser;
    parser.Parse(named.data(), named.size(), kParseValidate);
    FAIL() << "a text file validated as a schema";
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC7380003u);
    EXPECT_EQ(e.GetText().find(L"TOP-SECRET"), std::wstring::npos);
  }
  // Devices and the kernel's pseudo-files are no schema files: reading them could
  // block or never end.
  for (const char* device : {"/dev/zero", "/proc/self/status"}) {
    EXPECT_EQ(ParseCode(std::string("<r xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                                    "xsi:noNamespaceSchemaLocation='") +
                            device + "'/>",
                        kParseValidate),
              0xC7380031u)
        << device;
  }
}

TEST(ParserHardening, DeepNestingAndInvalidUtf8FailCleanly) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<d>";
  for (int i = 0; i < 10000; ++i) deep += "</d>";
  EXPECT_EQ(ParseCode(deep), 0xC7380030u);
  std::string limit;
  for (unsigned i = 0; i < kMaxElementDepth; ++i) limit += "<d>";
  for (unsigned i = 0; i < kMaxElementDepth; ++i) limit += "</d>";
  EXPECT_EQ(ParseCode(limit), 0u);
  EXPECT_EQ(ParseCode("<r a='\xff\xfe'>\xc3</r>"), 0xC7380003u);
  EXPECT_EQ(ParseCode(std::string("<r>\0</r>", 8)), 0xC7380003u);
  EXPECT_EQ(ParseCode("<r>&#x1;</r>"), 0xC7380003u);
  // XML 1.1 admits such characters; its documents are refused as a whole, and the
  // parser reads the next document by the rules of XML 1.0 again.
  CCmlParser parser;
  for (const std::string xml11 : {"<?xml version='1.1'?><r/>", "<?xml version='1.1'?><r>&#12;"}) {
    try {
      parser.Parse(xml11.data(), xml11.size(), kParseNoValidation);
      ADD_FAILURE() << "XML 1.1 accepted";
    } catch (const CCmlException& e) {
      EXPECT_EQ(e.GetCode(), 0xC7380003u);
    }
    const std::string xml10 = "<r>x&#12;y</r>";
    try {
      parser.Parse(xml10.data(), xml10.size(), kParseNoValidation);
      ADD_FAILURE() << "a reference to U+000C accepted after " << xml11;
    } catch (const CCmlException& e) {
      EXPECT_EQ(e.GetCode(), 0xC7380003u);
    }
  }
  try {
    const std::string xml11 = "<?xml version='1.1'?><r/>";
    parser.Parse(xml11.data(), xml11.size(), kParseNoValidation);
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetText(), L"XML version 1.1 documents are not accepted; only XML 1.0 is");
  }
}

TEST(ParserHardening, ResolverAdmitsOnlyFilesInsideTheSchemaFolder) {
  const std::string folder = ::testing::TempDir() + "cml_schemas";
  std::string cmd = "mkdir -p '" + folder + "/sub'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ofstream(folder + "/sub/a.xsd") << "<x/>";
  std::ofstream(::testing::TempDir() + "outside.xsd") << "<x/>";
  using R = CCmlEntityResolver;
  EXPECT_FALSE(R::AdmittedPath(folder + "/sub/a.xsd", "", folder).empty());
  EXPECT_FALSE(R::AdmittedPath("file://" + folder + "/sub/a.xsd", "", folder).empty());
  EXPECT_FALSE(R::AdmittedPath("sub/a.xsd", folder + "/main.xsd", folder).empty());
  EXPECT_TRUE(R::AdmittedPath(folder + "/../outside.xsd", "", folder).empty());
  EXPECT_TRUE(R::AdmittedPath("http://example.com/a.xsd", "", folder).empty());
  EXPECT_TRUE(R::AdmittedPath(folder + "/sub/missing.xsd", "", folder).empty());
  EXPECT_TRUE(R::AdmittedPath(folder + "/sub", "", folder).empty());  // a folder
  // Without a folder: any regular local file, never a network location.
  EXPECT_FALSE(R::AdmittedPath(folder + "/sub/a.xsd", "", "").empty());
  EXPECT_FALSE(R::AdmittedPath("file://localhost" + folder + "/sub/a.xsd", "", "").empty());
  EXPECT_FALSE(R::AdmittedPath("a.xsd", "file://" + folder + "/sub/main.xsd", "").empty());
  EXPECT_TRUE(R::AdmittedPath("http://example.com/a.xsd", "", "").empty());
  EXPECT_TRUE(R::AdmittedPath("file://example.com" + folder + "/sub/a.xsd", "", "").empty());
  EXPECT_TRUE(R::AdmittedPath("/dev/null", "", "").empty());
  EXPECT_TRUE(R::MissingInsideFolder(folder + "/sub/missing.xsd", "", ""));
  // A schema missing from the folder is simply not loaded; outside it is refused.
  EXPECT_TRUE(R::MissingInsideFolder(folder + "/sub/missing.xsd", "", folder));
  EXPECT_TRUE(R::MissingInsideFolder(folder + "/new/dir/missing.xsd", "", folder));
  EXPECT_FALSE(R::MissingInsideFolder(folder + "/new/../../missing.xsd", "", folder));
  EXPECT_FALSE(R::MissingInsideFolder(::testing::TempDir() + "missing.xsd", "", folder));
  EXPECT_FALSE(R::MissingInsideFolder(folder + "/sub/a.xsd", "", folder));  // exists
}

}  // namespace
}  // namespace cml
}  // namespace qel
