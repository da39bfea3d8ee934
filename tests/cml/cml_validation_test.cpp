// Validation against schema files in the configured folder: the external schema
// location, the resolver admitting only that folder, schema defaults, and version
// incompatibilities of instance namespaces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cml/cml_group_settings.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_parser.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"
#include "cml/cml_xerces.h"
#include "cml_test_util.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;

const char kSchema[] =
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' "
    "targetNamespace='http://www.example.com/cml/common' elementFormDefault='qualified'>"
    "<xs:element name='item'><xs:complexType>"
    "<xs:attribute name='n' type='xs:int' use='required'/>"
    "<xs:attribute name='schema-version' type='xs:string'/>"
    "<xs:attribute name='d' type='xs:string' default='dflt'/>"
    "</xs:complexType></xs:element></xs:schema>";

class Validation : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = ::testing::TempDir() + "cml validation schemas";
    WriteSchema(uri::kCommon, L"1.0.0", kSchema);
  }

  void WriteSchema(const std::wstring& uri, const std::wstring& version, const std::string& text) {
    std::wstring file = SchemaFilePath(uri, version, Folder());
    // The schema location escapes blanks; the file itself has them.
    std::string path(file.begin(), file.end());
    for (std::size_t p; (p = path.find("%20")) != std::string::npos;) path.replace(p, 3, " ");
    ASSERT_EQ(std::system(("mkdir -p '" + path.substr(0, path.rfind('/')) + "'").c_str()), 0);
    std::ofstream(path) << text;
  }

  std::wstring Folder() const { return std::wstring(m_folder.begin(), m_folder.end()); }

  std::uint32_t Parse(CCmlParser& parser, const std::string& xml) {
    return Parse(parser, xml, Folder());
  }
  static std::uint32_t Parse(CCmlParser& parser, const std::string& xml,
                             const std::wstring& folder) {
    return CodeOf([&] { parser.Parse(xml.data(), xml.size(), kParseValidate, folder); });
  }

  std::string m_folder;
};

std::string Item(const std::string& attributes) {
  return "<item xmlns='http://www.example.com/cml/common' " + attributes + "/>";
}

TEST_F(Validation, ValidatesAgainstTheFolderAndKeepsDefaultsOutOfTheOutput) {
  CCmlParser parser;
  parser.AddNamespace(uri::kCommon, L"1.0.0");
  ASSERT_EQ(Parse(parser, Item("schema-version='1.0.0' n='5'")), 0u);
  CCmlDOM_Element item = parser.GetDocumentElement();
  EXPECT_EQ(item.getAttribute(L"d"), L"dflt");  // supplied by the schema
  std::ostringstream plain;
  SerializeNode(item, plain);
  EXPECT_EQ(plain.str().find("d='dflt'"), std::string::npos);
  bool previous = SetWriteDefaults(true);
  std::ostringstream withDefaults;
  SerializeNode(item, withDefaults);
  SetWriteDefaults(previous);
  EXPECT_NE(withDefaults.str().find("d='dflt'"), std::string::npos);
  EXPECT_EQ(Parse(parser, Item("schema-version='1.0.0' n='x'")), 0xC7380002u);
}

TEST_F(Validation, NewerInstanceVersionsAreReportedAsIncompatible) {
  CCmlParser parser;
  parser.AddNamespace(uri::kCommon, L"1.0.0");
  const std::string xml = Item("schema-version='1.0.5'");
  try {
    parser.Parse(xml.data(), xml.size(), kParseValidate, Folder());
    FAIL() << "missing required attribute accepted";
  } catch (const CSchemaException& e) {
    ASSERT_EQ(e.GetCount(), 1u);
    EXPECT_EQ(e.begin()->GetNamespace(), uri::kCommon);
    EXPECT_EQ(e.begin()->GetSupportedVersion(), L"1.0.0");
    EXPECT_EQ(e.begin()->GetInstanceVersion(), L"1.0.5");
  }
}

TEST_F(Validation, ImportsByNamespaceAloneTakeTheGrammarFromTheSchemaLocation) {
  // A folder schema that imports a namespace without naming a file: the grammar of
  // that namespace comes from the external schema location (listed first, URI
  // order), nothing else is asked for.
  const std::string holder =
      "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' "
      "xmlns:c='http://www.example.com/cml/common' "
      "targetNamespace='http://www.example.com/cml/property' elementFormDefault='qualified'>"
      "<xs:import namespace='http://www.example.com/cml/common'/>"
      "<xs:element name='holder'><xs:complexType><xs:sequence><xs:element ref='c:part'/>"
      "</xs:sequence></xs:complexType></xs:element></xs:schema>";
  const std::string part =
      "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' "
      "targetNamespace='http://www.example.com/cml/common' elementFormDefault='qualified'>"
      "<xs:element name='part'><xs:complexType><xs:attribute name='n' type='xs:int'/>"
      "</xs:complexType></xs:element></xs:schema>";
  WriteSchema(uri::kProperty, L"2.0.0", holder);
  WriteSchema(uri::kCommon, L"2.0.0", part);
  CCmlParser parser;
  parser.AddNamespace(uri::kCommon, L"2.0.0");
  parser.AddNamespace(uri::kProperty, L"2.0.0");
  const std::string doc = "<holder xmlns='http://www.example.com/cml/property'>"
                          "<part xmlns='http://www.example.com/cml/common' n='1'/></holder>";
  EXPECT_EQ(Parse(parser, doc), 0u);
  const std::string wrong = "<holder xmlns='http://www.example.com/cml/property'>"
                            "<part xmlns='http://www.example.com/cml/common' n='x'/></holder>";
  EXPECT_EQ(Parse(parser, wrong), 0xC7380002u);  // the imported grammar is in force
}

TEST_F(Validation, SchemasOutsideTheFolderAreNotLoaded) {
  // The right schema, but the folder given is elsewhere: nothing is loaded, so the
  // document cannot be valid.
  CCmlParser parser;
  parser.AddNamespace(uri::kCommon, L"1.0.0");
  const std::string xml = Item("schema-version='1.0.0' n='5'");
  const std::string elsewhere = ::testing::TempDir() + "cml-empty-schema-folder";
  ASSERT_EQ(std::system(("mkdir -p '" + elsewhere + "'").c_str()), 0);
  EXPECT_EQ(CodeOf([&] {
              parser.Parse(xml.data(), xml.size(), kParseValidate,
                           std::wstring(elsewhere.begin(), elsewhere.end()));
            }),
            0xC7380002u);
  // A document naming the schema file by its own location is not admitted either.
  std::wstring file = SchemaFilePath(uri::kCommon, L"1.0.0", Folder());
  const std::string hinted = "<item xmlns='http://www.example.com/cml/common' "
                             "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                             "xsi:schemaLocation='http://www.example.com/cml/common " +
                             std::string(file.begin(), file.end()) + "' n='1'/>";
  CCmlParser other;
  EXPECT_EQ(CodeOf([&] {
              other.Parse(hinted.data(), hinted.size(), kParseValidate,
                          std::wstring(elsewhere.begin(), elsewhere.end()));
            }),
            0xC7380031u);
}

// With no schema folder (the default) validation relies on the locations the document
// names: a local schema file is read and validates; a missing one loads nothing.
TEST_F(Validation, WithoutAFolderTheDocumentsLocalSchemaLocationsAreFollowed) {
  test::CSettingsGuard settings;
  SetSchemaFolder(L"");
  std::wstring file = SchemaFilePath(uri::kCommon, L"1.0.0", Folder());
  auto hinted = [&](const std::string& location, const std::string& n) {
    return "<item xmlns='http://www.example.com/cml/common' "
           "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
           "xsi:schemaLocation='http://www.example.com/cml/common " +
           location + "' n='" + n + "'/>";
  };
  const std::string location(file.begin(), file.end());
  // A new parser each time: a parser keeps the grammars it has read.
  auto code = [](const std::string& xml) {
    CCmlParser parser;
    return Parse(parser, xml, L"");
  };
  EXPECT_EQ(code(hinted(location, "1")), 0u);
  EXPECT_EQ(code(hinted(location, "x")), 0xC7380002u);  // the schema is in force
  EXPECT_EQ(code(hinted(location + ".missing", "1")), 0xC7380002u);
  EXPECT_EQ(code(hinted("http://127.0.0.1:9/common.xsd", "1")), 0xC7380031u);
}

// Runs `work` in `folder` as working directory and goes back afterwards.
template <class Work>
void InFolder(const std::string& folder, Work&& work) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  try {
    work();
  } catch (...) {
    std::filesystem::current_path(previous);
    throw;
  }
  std::filesystem::current_path(previous);
}

// With the default settings (no schema folder) the library's own documents validate
// against the schemas of "./schemas", which is where they say their schemas are;
// namespaces of others in the namespace sets are no obstacle.
TEST(DefaultSchemaFolder, OwnDocumentsValidateWithTheDefaultSettings) {
  test::CSettingsGuard settings;
  EXPECT_EQ(kDefaultSchemaFolder, std::wstring());
  const std::string work = ::testing::TempDir() + "cml_default_folder";
  const std::string folder = work + "/schemas/cml/CommonDocuments/GroupSettings";
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(folder);
  CCmlGroupSettings policy;
  policy.SetPolicyName(L"p");
  const std::string text = test::Write(policy);
  CCmlParser::AddImplicitNamespace(CNamespace(L"urn:not-ours", L"1.0"));
  auto validate = [&] {
    return CodeOf([&] {
      CCmlParser parser;
      parser.AddNamespace(L"urn:also-not-ours", L"2.0");
      parser.Parse(text.data(), text.size(), kParseValidate);
    });
  };
  InFolder(work, [&] { EXPECT_EQ(validate(), 0xC7380002u); });  // no schema there yet
  std::ofstream(folder + "/GroupSettings2_3_3.xsd")
      << "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='"
      << ToUtf8(uri::kCdGroupSettings) << "' elementFormDefault='qualified'>"
      << "<xs:element name='policy'><xs:complexType>"
      << "<xs:attribute name='schema-version' type='xs:string'/>"
      << "<xs:attribute name='name' type='xs:string'/>"
      << "</xs:complexType></xs:element></xs:schema>";
  InFolder(work, [&] { EXPECT_EQ(validate(), 0u); });
}

}  // namespace
}  // namespace cml
}  // namespace qel
