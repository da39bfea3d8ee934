// The rule of the writers, checked on generated documents: whatever the library
// writes is well-formed XML 1.0, and reading it back gives the same values (texts
// with characters XML 1.0 cannot carry come back with U+FFFD in their place).
// Each document is written, read through the class factory and written again; the
// values are compared field by field and the texts byte by byte.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <xercesc/dom/DOMElement.hpp>

#include "cml/cml_agent_startup_announcement.h"
#include "cml/cml_avp_sections.h"
#include "cml/cml_dom_cdata_section.h"
#include "cml/cml_dom_comment.h"
#include "cml/cml_dom_document.h"
#include "cml/cml_dom_processing_instruction.h"
#include "cml/cml_dom_text.h"
#include "cml/cml_group_settings.h"
#include "cml/cml_message.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_policy_document_text.h"
#include "cml/cml_policy_node.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_set_site_request.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_uris.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"
#include "cml_test_util.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelToolsLib/qelCodecvt.h"

namespace qel {
namespace cml {
namespace {

using test::Sanitized;
using test::Write;

// Random texts and names; every class of character appears in texts.
class CGenerator {
 public:
  explicit CGenerator(unsigned seed) : m_random(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
  }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

  wchar_t Char() {
    static const std::vector<std::vector<wchar_t>> kClasses = {
        {L'a', L'Z', L'7', L'-', L'.', L' '},
        {L'<', L'>', L'&', L'\'', L'"', L']', L'?'},
        {L'\t', L'\n', L'\r'},
        {0x0, 0x1, 0x8, 0xB, 0xC, 0x1F},                    // not allowed in XML 1.0
        {0x7F, 0x85, 0x9F, 0xA0, 0xE9, 0x4E2D, 0x2028},     // allowed
        {0xD800, 0xDBFF, 0xDC00, 0xFFFE, 0xFFFF},           // not allowed
        {0x10000, 0x1F600, 0x10FFFF},                       // allowed
        {0x110000, 0x7FFFFFFF, static_cast<wchar_t>(-1)}};  // beyond Unicode
    const auto& chars = kClasses[Below(kClasses.size())];
    return chars[Below(chars.size())];
  }

  std::wstring Text(std::size_t max = 12) {
    std::wstring text;
    for (std::size_t n = Below(max + 1); n > 0; --n) text.push_back(Char());
    return text;
  }
  // Allowed characters only, and not only white space (for DOM text nodes).
  std::wstring CleanText() {
    std::wstring text = Sanitized(Text());
    return text + L"x";
  }
  std::wstring Name() {
    static const wchar_t kStart[] = L"abzAZ_\u00e9\u4e2d";
    static const wchar_t kRest[] = L"az09-.\u00b7\u00e9";
    std::wstring name(1, kStart[Below(sizeof(kStart) / sizeof(wchar_t) - 1)]);
    for (std::size_t n = Below(6); n > 0; --n)
      name += kRest[Below(sizeof(kRest) / sizeof(wchar_t) - 1)];
    return name;
  }
  std::uint32_t Status() {
    const std::uint32_t kCodes[] = {0x47380022u, 0u, 0xC7210001u, 0x47210047u};
    return kCodes[Below(4)];
  }

 private:
  std::mt19937 m_random;
};

// A policy element made by code, with every kind of node a policy may hold. Prefixes
// always stand for the same namespace; texts never are white space alone.
class CTreeBuilder {
 public:
  CTreeBuilder(CGenerator& g, CCmlDOM_Document& doc) : m_g(g), m_doc(doc) {}

  CCmlDOM_Element Element(unsigned depth) {
    CCmlDOM_Element e = NewElement();
    for (std::size_t n = m_g.Below(3); n > 0; --n) {
      const std::wstring name = m_g.Name() + std::to_wstring(n);
      if (m_g.Chance(20)) {
        e.setAttributeNS(L"urn:p1", L"p1:" + name, m_g.Text());
      } else {
        e.setAttribute(name, m_g.Text());
      }
    }
    if (m_g.Chance(10)) e.setAttributeNS(kXmlNs, L"xml:space", L"preserve");
    bool lastWasText = false;
    for (std::size_t n = depth < 4 ? m_g.Below(4) : 0; n > 0; --n) {
      const std::size_t kind = m_g.Below(5);
      if (kind == 0 && !lastWasText) e.appendChild(m_doc.createTextNode(m_g.CleanText()));
      if (kind == 1) e.appendChild(m_doc.createCDATASection(m_g.CleanText() + L"]]>\r"));
      if (kind == 2) e.appendChild(m_doc.createComment(L"c" + NoCr(m_g.CleanText())));
      if (kind == 3)
        e.appendChild(m_doc.createProcessingInstruction(L"pi", L"d" + NoCr(m_g.CleanText())));
      if (kind == 4) e.appendChild(Element(depth + 1));
      lastWasText = kind == 0;
    }
    return e;
  }

 private:
  static constexpr wchar_t kXmlNs[] = L"http://www.w3.org/XML/1998/namespace";

  static std::wstring NoCr(std::wstring text) {
    for (wchar_t& c : text) {
      if (c == L'\r' || c == L'-' || c == L'?') c = L'_';
    }
    return text;
  }
  CCmlDOM_Element NewElement() {
    switch (m_g.Below(3)) {
      case 0:
        return m_doc.createElementNS(L"", m_g.Name());
      case 1:
        return m_doc.createElementNS(L"urn:g" + std::to_wstring(m_g.Below(2)), m_g.Name());
      default:
        return m_doc.createElementNS(L"urn:p1", L"p1:" + m_g.Name());
    }
  }

  CGenerator& m_g;
  CCmlDOM_Document& m_doc;
};

CAgentInfo RandomAgent(CGenerator& g, const wchar_t* tag) {
  CAgentInfo agent(tag);
  agent.SetName(g.Text());
  agent.SetNamespace(g.Text());
  agent.SetIpAddress(g.Text());
  agent.SetAgentId(g.Text());
  agent.SetAuthHash(g.Text());
  for (std::size_t n = g.Below(3); n > 0; --n) agent.AddAgentGroup(g.Text());
  return agent;
}

void FillContent(CGenerator& g, CAgentInfoContent& c) {
  c.SetName(g.Text());
  c.SetAgentId(g.Text());
  c.SetAgentNamespace(g.Text());
  c.SetVersion(g.Text());
  c.SetModel(g.Text());
  c.SetLastRestart(g.Text());
  c.SetRegisterAgent(g.Text());
  c.SetAgentStatus(g.Status());
  c.SetTqeStatus(g.Status());
  c.SetUseLocalSettings(g.Chance(50));
  c.SetSendNewSchemas(g.Chance(50));
  c.SetPersistentConnection(static_cast<int>(1 + g.Below(3)));
  c.GetHostInfo().SetOs(g.Text());
  c.GetHostInfo().SetNbDomain(g.Text());
  c.GetSchemas().emplace_back(g.Text(), g.Text(), g.Text());
  c.GetContentDates().emplace_back(g.Text(), g.Text());
  c.GetModules().emplace_back(g.Text(), g.Text(), g.Status());
  c.GetUpdates().emplace_back(g.Text(), g.Text(), g.Text());
  c.SetCopyrightInfo(g.Text());
  c.SetPatentInfo(g.Text());
}

struct Generated {
  CCmlMessage message;
  std::vector<CCmlDOM_Document> documents;  // own the policy elements made by code
  // Holds a parsed policy or a ready-made text: each reads back as a policy node, whose
  // text differs in layout (attribute order, indentation), not in values.
  bool changesForm = false;
};

void AddPolicies(CGenerator& g, Generated& out, CPolicySourceList& list) {
  for (std::size_t n = g.Below(4); n > 0; --n) {
    const std::size_t kind = g.Below(3);
    if (kind == 2) {
      auto settings = std::make_unique<CCmlGroupSettings>();
      settings->SetPolicyName(g.Text());
      settings->AddSetting(g.Name()).SetAttribute(g.Name(), g.Text());
      list.Add(std::move(settings));
      out.changesForm = true;
      continue;
    }
    out.documents.push_back(CCmlDOM_Document::CreateEmpty());
    CTreeBuilder builder(g, out.documents.back());
    CCmlDOM_Element element = builder.Element(0);
    if (kind == 0) {
      list.AddNode(element);
      continue;
    }
    std::ostringstream text;  // a ready-made text: the element written on its own
    out.documents.back().appendChild(element);
    SerializeNode(element, text);
    list.Add(new CPolicyDocumentText(L"text", L"", L"", FromUtf8(text.str()), L"", L""));
    out.changesForm = true;
  }
}

void Generate(CGenerator& g, bool older, Generated& out) {
  CCmlMessage& m = out.message;
  m.SetMessageId(g.Text());
  m.SetResponseTo(g.Text());
  m.SetBroadcast(g.Chance(50));
  m.SetSource(RandomAgent(g, L"source"));
  for (std::size_t n = g.Below(3); n > 0; --n)
    m.GetDestinations().push_back(RandomAgent(g, L"destination"));
  auto announcement = std::make_unique<CAgentStartupAnnouncement>();
  announcement->SetRequestId(g.Text());
  announcement->SetNeedReply(g.Chance(50));
  FillContent(g, announcement->GetContent());
  AddPolicies(g, out, announcement->GetContent().GetModules()[0].GetPolicySources());
  AddPolicies(g, out, announcement->GetContent().GetPolicySources());
  m.AddRequest(std::move(announcement));
  auto request = std::make_unique<CSetSiteRequest>();
  request->SetOverrideSite(g.Chance(50));
  AddPolicies(g, out, request->GetPolicySources());
  m.AddRequest(std::move(request));
  auto response = std::make_unique<CSetSiteResponse>();
  response->SetCode(g.Status());
  response->SetText(g.Text());
  AddPolicies(g, out, response->GetPolicySources());
  m.AddResponse(std::move(response));
  if (older) {
    m.SetSchemaVersion(L"1.0.0");
    m.ApplyMessageLayerToChildren();
  }
}

// The values a reader can see, texts as XML 1.0 can carry them.
void Values(const CAgentInfo& a, std::vector<std::wstring>& v) {
  for (const std::wstring* t :
       {&a.GetName(), &a.GetNamespace(), &a.GetIpAddress(), &a.GetAgentId(), &a.GetAuthHash()}) {
    v.push_back(Sanitized(*t));
  }
  std::set<std::wstring> groups;  // the set orders the texts as read back
  for (const std::wstring& group : a.GetAgentGroups()) groups.insert(Sanitized(group));
  v.insert(v.end(), groups.begin(), groups.end());
}

// Content of the older layout's 2.4.1 elements: its 2.4.2 attributes are not written.
bool WithoutLayerFeatures(const CAgentInfoContent& c) {
  return c.GetContentNamespace() == uri::kCml &&
         CompareSchemaVersions(c.GetContentSchemaVersion(), L"2.4.2") ==
             SchemaVersionRelation::OlderPatch;
}

void Values(const CAgentInfoContent& c, std::vector<std::wstring>& v) {
  const bool older = WithoutLayerFeatures(c);
  const std::wstring none;
  for (const std::wstring* t :
       {&c.GetName(), &c.GetAgentId(), &c.GetAgentNamespace(), &c.GetVersion(), &c.GetModel(),
        &c.GetLastRestart(), older ? &none : &c.GetRegisterAgent(), &c.GetCopyrightInfo(),
        &c.GetPatentInfo(), &c.GetHostInfo().GetOs(), &c.GetHostInfo().GetNbDomain()}) {
    v.push_back(Sanitized(*t));
  }
  for (std::uint32_t n :
       {c.GetAgentStatus(), older ? codes::kStatusAbsent : c.GetTqeStatus(),
        static_cast<std::uint32_t>(c.GetUseLocalSettings()),
        static_cast<std::uint32_t>(c.GetSendNewSchemas()),
        static_cast<std::uint32_t>(older ? kTriNotStated : c.GetPersistentConnection())}) {
    v.push_back(std::to_wstring(n));
  }
  for (const CSchemaInfo& s : c.GetSchemas()) {
    for (const std::wstring* t : {&s.GetName(), &s.GetNamespace(), &s.GetVersion()}) {
      v.push_back(Sanitized(*t));
    }
  }
  for (const CContentDate& d : c.GetContentDates()) {
    v.push_back(Sanitized(d.GetIdentity()) + L"|" + Sanitized(d.GetDate()));
  }
  for (const CModuleInfo& mod : c.GetModules()) {
    v.push_back(Sanitized(mod.GetName()) + L"|" + std::to_wstring(mod.GetStatus()));
  }
  for (const CUpdateInfo& u : c.GetUpdates()) {
    v.push_back(Sanitized(u.GetModule()) + L"|" + Sanitized(u.GetType()));
  }
}

std::vector<std::wstring> Values(const CCmlMessage& m) {
  std::vector<std::wstring> v = {m.GetSchemaVersion(), m.GetMessageLayerNamespace(),
                                 Sanitized(m.GetMessageId()), Sanitized(m.GetResponseTo()),
                                 std::to_wstring(m.IsBroadcast())};
  Values(m.GetSource(), v);
  for (const CAgentInfo& d : m.GetDestinations()) Values(d, v);
  const auto& announcement = static_cast<const CAgentStartupAnnouncement&>(*m.GetRequests()[0]);
  v.push_back(Sanitized(announcement.GetRequestId()));
  v.push_back(std::to_wstring(announcement.GetNeedReply()));
  Values(announcement.GetContent(), v);
  const auto& request = static_cast<const CSetSiteRequest&>(*m.GetRequests()[1]);
  v.push_back(std::to_wstring(request.GetOverrideSite()));
  v.push_back(std::to_wstring(m.GetResponses()[0]->GetCode()));
  v.push_back(Sanitized(m.GetResponses()[0]->GetText()));
  return v;
}

// The element a policy source reads back as: a policy node over the same tree.
std::string PolicyText(const CPolicySource& source) {
  std::ostringstream os;
  qelToolsLib::ImbueUtf8(os);
  if (const auto* node = dynamic_cast<const CPolicyNode*>(&source)) {
    SerializeNode(node->GetElement(), os);
  } else {
    source.SerializeElement(os, 0);
  }
  return os.str();
}

void ExpectSamePolicies(const CPolicySourceList& written, const CPolicySourceList& read) {
  ASSERT_EQ(written.Count(), read.Count());
  for (std::size_t i = 0; i < written.Count(); ++i) {
    const auto* node = dynamic_cast<const CPolicyNode*>(read.Get(i));
    ASSERT_NE(node, nullptr);
    const std::string expected = PolicyText(*written.Get(i));
    CCmlParser parser;
    parser.Parse(expected.data(), expected.size(), kParseNoValidation);
    EXPECT_TRUE(test::SameTree(parser.GetDocumentElement().GetDOMNode(), node->GetDOMNode()))
        << expected << "\nread back as\n"
        << PolicyText(*node);
    if (const auto* original = dynamic_cast<const CPolicyNode*>(written.Get(i))) {
      EXPECT_TRUE(test::SameTree(original->GetDOMNode(), node->GetDOMNode(), true));
    }
  }
}

void ExpectSamePolicies(const CCmlMessage& written, const CCmlMessage& read) {
  const auto& a1 = static_cast<const CAgentStartupAnnouncement&>(*written.GetRequests()[0]);
  const auto& a2 = static_cast<const CAgentStartupAnnouncement&>(*read.GetRequests()[0]);
  ExpectSamePolicies(a1.GetContent().GetModules()[0].GetPolicySources(),
                     a2.GetContent().GetModules()[0].GetPolicySources());
  ExpectSamePolicies(a1.GetContent().GetPolicySources(), a2.GetContent().GetPolicySources());
  ExpectSamePolicies(
      static_cast<const CSetSiteRequest&>(*written.GetRequests()[1]).GetPolicySources(),
      static_cast<const CSetSiteRequest&>(*read.GetRequests()[1]).GetPolicySources());
  ExpectSamePolicies(
      static_cast<const CSetSiteResponse&>(*written.GetResponses()[0]).GetPolicySources(),
      static_cast<const CSetSiteResponse&>(*read.GetResponses()[0]).GetPolicySources());
}

TEST(RoundTrip, GeneratedMessagesReadBackWithTheirValuesAndText) {
  qel::funneltunnel::prepare_set_site_message_support();
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CGenerator g(seed);
    Generated generated;
    Generate(g, seed % 2 == 0, generated);
    const std::string first = Write(generated.message);
    auto read = test::ReadAs<CCmlMessage>(first);
    ASSERT_NE(read, nullptr) << first;
    EXPECT_EQ(Values(*read), Values(generated.message));
    ExpectSamePolicies(generated.message, *read);
    const std::string second = Write(*read);
    if (!generated.changesForm) {
      EXPECT_EQ(second, first);
    }
    auto again = test::ReadAs<CCmlMessage>(second);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Write(*again), second);
  }
}

// The policy documents the library models read back through the class factory
// with every value, whatever the characters.
TEST(RoundTrip, GeneratedPolicyDocumentsKeepTheirContent) {
  CCmlGroupSettings::Register();
  CCmlAvpSections::Register();
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CGenerator g(seed);
    CCmlGroupSettings settings;
    settings.SetPolicyName(g.Text());
    CGroupSettingsNode& top = settings.AddSetting(g.Name());
    const std::wstring name = g.Name();
    top.SetAttribute(name, g.Text());
    top.SetAttributeNS(L"urn:x", L"x:" + g.Name(), g.Text());
    top.AddChild(g.Name(), L"urn:other").SetText(g.Text());
    top.AddChild(g.Name(), settings.GetNamespace()).AddChild(g.Name(), L"").SetText(g.CleanText());
    const std::string text = Write(settings);
    auto back = test::ReadAs<CCmlGroupSettings>(text);
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(Write(*back), text);
    const CGroupSettingsNode& read = back->GetSettings().at(0);
    ASSERT_NE(read.GetAttribute(name), nullptr);
    EXPECT_EQ(*read.GetAttribute(name), Sanitized(*top.GetAttribute(name)));
    EXPECT_EQ(read.GetChildren().at(0).GetText(), Sanitized(top.GetChildren().at(0).GetText()));
    EXPECT_EQ(read.GetChildren().at(1).GetChildren().at(0).GetNamespace(), L"");

    CCmlAvpSections avp;
    avp.AddParam(g.Text(), g.Text(), g.Text(), -static_cast<std::int32_t>(g.Below(5)));
    const std::string avpText = Write(avp);
    auto avpBack = test::ReadAs<CCmlAvpSections>(avpText);
    ASSERT_NE(avpBack, nullptr) << avpText;
    const CNameValuePair& param = avpBack->GetSections().at(0).GetParams().at(0);
    EXPECT_EQ(param.GetValue(), Sanitized(avp.GetSections()[0].GetParams()[0].GetValue()));
    EXPECT_EQ(param.GetOrdinal(), avp.GetSections()[0].GetParams()[0].GetOrdinal());
    EXPECT_EQ(Write(*avpBack), avpText);
  }
}

}  // namespace
}  // namespace cml
}  // namespace qel
