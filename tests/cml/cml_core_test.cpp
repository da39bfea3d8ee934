// Core of the message library: exception texts, version comparison, namespace sets,
// escaping, schema paths, declarations and the class factory.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "cml/cml_class_factory.h"
#include "cml/cml_library_versions.h"
#include "cml/cml_request.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xml_chars.h"
#include "cml_test_util.h"

namespace qel {
namespace cml {
namespace {

using test::CodeOf;

TEST(CmlException, FormatsOperationTextAndCodeAndRestoresFlags) {
  CCmlException e(L"Registering namespace with global class factory",
                  L"One or more arguments are invalid", 0xC7210003u);
  EXPECT_EQ(e.Format(),
            L"Registering namespace with global class factory:  One or more arguments are "
            L"invalid; error = 0xc7210003");
  std::wostringstream os;
  os << std::dec << std::uppercase;
  os << e << 255;
  EXPECT_NE(os.str().find(L"0xc7210003"), std::wstring::npos);
  EXPECT_EQ(os.str().substr(os.str().size() - 3), L"255");  // decimal flags restored
}

TEST(SchemaVersions, CompareFieldByFieldAsNumbers) {
  using R = SchemaVersionRelation;
  EXPECT_EQ(CompareSchemaVersions(L"2.4.10", L"2.4.9"), R::NewerPatch);
  EXPECT_EQ(CompareSchemaVersions(L"2.4.9", L"2.4.10"), R::OlderPatch);
  EXPECT_EQ(CompareSchemaVersions(L"1.0.4", L"1.0.4"), R::Equal);
  EXPECT_EQ(CompareSchemaVersions(L"1.1.0", L"1.0.0"), R::MinorMismatch);
  EXPECT_EQ(CompareSchemaVersions(L"2.0.0", L"1.0.0"), R::MajorMismatch);
  EXPECT_EQ(CompareSchemaVersions(L"1.0", L"1.0.0"), R::Equal);       // missing patch reads 0
  EXPECT_EQ(CompareSchemaVersions(L"1.0.0x10", L"1.0.16"), R::Equal);  // hex patch
  EXPECT_EQ(CompareSchemaVersions(L"1.0.x", L"1.0.0"), R::Equal);       // unreadable: 0
  std::uint32_t v = 0;
  EXPECT_TRUE(ParseUnsignedAutoBase(L"0x10", v));
  EXPECT_EQ(v, 16u);
  EXPECT_TRUE(ParseUnsignedAutoBase(L"010", v));
  EXPECT_EQ(v, 8u);
  EXPECT_TRUE(ParseUnsignedAutoBase(L"  42", v));
  EXPECT_EQ(v, 42u);
  EXPECT_FALSE(ParseUnsignedAutoBase(L"abc", v));
  EXPECT_FALSE(ParseUnsignedAutoBase(L"", v));
  EXPECT_EQ(ParseUnsignedOr(L"0xc7210001", 0), 0xC7210001u);
}

TEST(NamespaceSet, HoldsOneVersionPerUriAndReportsConflicts) {
  CNamespaceSet set;
  AddNamespaceChecked(set, CNamespace(uri::kMessage, L"1.0.0"), L"op");
  AddNamespaceChecked(set, CNamespace(uri::kMessage, L"1.0.0"), L"op");
  EXPECT_EQ(set.size(), 1u);
  try {
    AddNamespaceChecked(set, CNamespace(uri::kMessage, L"1.0.1"), L"op");
    FAIL() << "conflict not detected";
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.GetCode(), 0xC738000Eu);
    EXPECT_EQ(e.GetText(), L"Namespace/schema-version conflict among descendant elements:  "
                           L"tried to add namespace \"" + std::wstring(uri::kMessage) +
                               L"\" version 1.0.1; set already contains namespace \"" +
                               uri::kMessage + L"\" version 1.0.0");
  }
  // Ordered by URI only.
  EXPECT_FALSE(CNamespace(L"a", L"9") < CNamespace(L"a", L"1"));
  EXPECT_TRUE(CNamespace(L"a", L"9") < CNamespace(L"b", L"1"));
}

TEST(Serializer, EscapesAttributesAndContent) {
  const std::wstring text = L"a<b & 'c'\n";
  EXPECT_EQ(EscapeAttributeValue(text), L"a&lt;b &amp; &apos;c&apos;&#xa;");
  EXPECT_EQ(EscapeContent(text), L"a&lt;b &amp; &apos;c&apos;\n");
  EXPECT_EQ(EscapeAttributeValue(std::string("\"x\">")), "&quot;x&quot;&gt;");
  EXPECT_EQ(CodeOf([] { EscapeContent(static_cast<const wchar_t*>(nullptr)); }), 0xC7210003u);
}

TEST(Serializer, SchemaFilePaths) {
  EXPECT_EQ(SchemaFilePath(uri::kBase, L"1.0.1", L"./schemas"), L"./schemas/Qel1_0_1.xsd");
  EXPECT_EQ(SchemaFilePath(uri::kCml, L"2.4.2", L"./schemas"), L"./schemas/cml/cml2_4_2.xsd");
  EXPECT_EQ(SchemaFilePath(uri::kAgentMessages, L"1.0.4", L"./schemas"),
            L"./schemas/cml/Message/AgentMessages/AgentMessages1_0_4.xsd");
  EXPECT_EQ(SchemaFilePath(uri::kCml, L"2.4.2", L"/my schemas"), L"/my%20schemas/cml/cml2_4_2.xsd");
  EXPECT_EQ(CodeOf([] { SchemaFilePath(L"urn:other", L"1.0.0", L"."); }), 0xC738000Au);
  EXPECT_EQ(CodeOf([] { SchemaFilePath(std::wstring(uri::kBase) + L"x", L"1", L"."); }),
            0xC738000Au);
}

TEST(Serializer, DeclarationFollowsStreamKind) {
  std::ostringstream bytes;
  WriteXmlDeclaration(bytes, true);
  EXPECT_EQ(bytes.str(), "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n");
  std::wostringstream wide;
  WriteXmlDeclaration(wide, false);
  EXPECT_EQ(wide.str(), L"<?xml version='1.0' encoding='UCS4' standalone='no'?>\n");
  std::wstringbuf buffer;
  std::wostream other(&buffer);
  EXPECT_EQ(CodeOf([&] { WriteXmlDeclaration(other, false); }), 0xC7210003u);
}

TEST(Serializer, DocumentStartWritesSchemaLocations) {
  std::wostringstream os;
  CCmlOutput out(os);
  WriteDocumentStart(out, L"root", CNamespaceSet{});
  out.Finish();
  EXPECT_EQ(os.str(), L"<?xml version='1.0' encoding='UCS4' standalone='no'?>\n<root "
                      L"xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'\n");
  std::wostringstream two;
  CCmlOutput out2(two);
  WriteDocumentStart(out2, L"r",
                     {CNamespace(uri::kCml, L"2.4.2"), CNamespace(uri::kBase, L"1.0.1")});
  out2.Finish();
  const std::wstring text = two.str();
  EXPECT_NE(text.find(L"    xsi:schemaLocation='" QEL_CML_BASE_URI L" ./schemas/Qel1_0_1.xsd\n"
                      L"    " QEL_CML_BASE_URI L"/cml ./schemas/cml/cml2_4_2.xsd'"),
            std::wstring::npos);
}

// A minimal registered class for the factory tests.
class Probe : public CCmlRequest {
 public:
  explicit Probe(std::wstring marker = L"")
      : CCmlRequest(L"probe", L"urn:probe", L"1.0.0"), m_marker(std::move(marker)) {}
  std::unique_ptr<CCmlDocumentBase> Clone() const override {
    return std::make_unique<Probe>(*this);
  }
  std::wstring m_marker;
};

TEST(ClassFactory, LatestCompatibleAndExactLookup) {
  CCmlClassFactory* f = CCmlClassFactory::GetGlobalFactory();
  CCmlDocumentClassFactory* f103 = f->RegisterNamespace(L"urn:lookup", L"1.0.3");
  CCmlDocumentClassFactory* f107 = f->RegisterNamespace(L"urn:lookup", L"1.0.7");
  const auto latest = FactoryLookup::LatestCompatible;
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.5", latest), f107);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.9", latest), f107);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.0", latest), f107);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.1.0", latest), nullptr);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.5", FactoryLookup::Exact), nullptr);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.3", FactoryLookup::Exact), f103);
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:none", L"1.0.3", latest), nullptr);
  // The deregistration walk stops at the first patch level of the same minor version:
  // 1.0.7 stays while 1.0.3 comes before it; a version of another minor is passed by.
  f->DeregisterDocumentClassFactory(L"urn:lookup", L"1.0.7");
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.7", FactoryLookup::Exact), f107);
  f->RegisterNamespace(L"urn:lookup", L"0.9.0");
  f->DeregisterDocumentClassFactory(L"urn:lookup", L"1.0.3");
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.3", FactoryLookup::Exact), nullptr);
  EXPECT_NE(f->FindDocumentClassFactory(L"urn:lookup", L"0.9.0", FactoryLookup::Exact), nullptr);
  f->DeregisterDocumentClassFactory(L"urn:lookup", L"1.0.7");  // now the first of 1.0
  EXPECT_EQ(f->FindDocumentClassFactory(L"urn:lookup", L"1.0.7", FactoryLookup::Exact), nullptr);
  try {
    f->RegisterNamespace(L"", L"");
    FAIL();
  } catch (const CCmlException& e) {
    EXPECT_EQ(e.Format(), L"Registering namespace with global class factory:  One or more "
                          L"arguments are invalid; error = 0xc7210003");
  }
}

TEST(ClassFactory, RegistrationReplacesAndClonesPrototype) {
  CCmlClassFactory* f = CCmlClassFactory::GetGlobalFactory();
  Probe first(L"first");
  Probe second(L"second");
  f->RegisterDocumentObject(L"urn:probe", L"1.0.0", L"probe", first);
  CCmlDocumentBase* stored = f->RegisterDocumentObject(L"urn:probe", L"1.0.0", L"probe", second);
  EXPECT_NE(stored, &second);
  second.m_marker = L"changed after registration";
  auto created = f->CreateDocument(L"urn:probe", L"1.0.0", L"probe", FactoryLookup::Exact);
  ASSERT_NE(dynamic_cast<Probe*>(created.get()), nullptr);
  EXPECT_EQ(static_cast<Probe*>(created.get())->m_marker, L"second");
  EXPECT_EQ(f->CreateDocument(L"urn:probe", L"1.0.0", L"other", FactoryLookup::Exact), nullptr);
  // An element in a namespace nobody registered reads as none, not as an error.
  EXPECT_EQ(test::Read("<x xmlns='urn:nobody' schema-version='1.0.0'/>"), nullptr);
  EXPECT_EQ(test::Read("<x/>"), nullptr);
}

TEST(ClassFactory, ConcurrentRegistrationAndLookupAreSafe) {
  CCmlClassFactory* f = CCmlClassFactory::GetGlobalFactory();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([f, t] {
      for (int i = 0; i < 200; ++i) {
        Probe p(std::to_wstring(t));
        f->RegisterDocumentObject(L"urn:race", L"1.0." + std::to_wstring(i % 3), L"probe", p);
        auto d = f->CreateDocument(L"urn:race", L"1.0.0", L"probe",
                                   FactoryLookup::LatestCompatible);
        ASSERT_NE(d, nullptr);
      }
    });
  }
  for (auto& th : threads) th.join();
}

TEST(LibraryVersions, RegistryStartsWithCoreAndWritesInOrder) {
  DestroyLibraryVersionRegistry();
  SetLibraryVersion(L"Zeta", L"2.0");
  SetLibraryVersion(L"Alpha", L"1.1");
  std::ostringstream os;
  WriteLibraryVersions(os);
  EXPECT_EQ(os.str(), "Library:  Alpha version = 1.1\nLibrary:  CmlCore version = 1.0.0\n"
                      "Library:  Zeta version = 2.0\n");
  RemoveLibraryVersion(L"Zeta");
  EXPECT_EQ(GetLibraryVersions().count(L"Zeta"), 0u);
}

TEST(Vocabulary, WordsAreUniqueNames) {
  std::set<std::wstring> words;
  for (const wchar_t* w : vocab::kAllWords) {
    words.insert(w);
    EXPECT_TRUE(IsQName(w)) << w;  // the writers write them as names without a check
  }
  EXPECT_EQ(words.size(), std::size(vocab::kAllWords));
}

}  // namespace
}  // namespace cml
}  // namespace qel
