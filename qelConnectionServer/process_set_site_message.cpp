#include "qelConnectionServer/process_set_site_message.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <typeinfo>

#include "cml/cml_agent_startup_announcement.h"
#include "cml/cml_class_factory.h"
#include "cml/cml_exception.h"
#include "cml/cml_group_settings.h"
#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_message.h"
#include "cml/cml_parser.h"
#include "cml/cml_policy_document_text.h"
#include "cml/cml_serializer.h"
#include "cml/cml_set_site_request.h"
#include "cml/cml_set_site_response.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xerces.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "qelConnectionServer/trace_text.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

namespace {

using namespace qel::cml;

constexpr wchar_t kRequestId[] = L"F276B36C-C24F-4E02-9555-C8407C09D1C8";
constexpr wchar_t kMessageId[] = L"03BC0C40-1E32-4BF4-92C1-FE1E3A593FE3";
constexpr wchar_t kSourceName[] = L"Reverse Registration";
constexpr wchar_t kLinksTag[] = L"LmiLinks";

// Class registrations; registering again replaces the prototypes with equal ones, so
// while the registry has not changed since this registered, there is nothing to do.
void RegisterClasses() {
  static std::atomic<std::uint64_t> registered{0};
  if (registered.load() == CCmlDocumentClassFactory::Generation()) return;
  std::unique_lock<std::recursive_mutex> lock = CCmlClassFactory::Guard();
  CCmlMessage::RegisterCompoundMessage();
  CSetSiteRequest::Register();
  CSetSiteResponse::Register();
  CCmlGroupSettings::Register();
  registered.store(CCmlDocumentClassFactory::Generation());
}

// The implicit namespaces; the same pair again changes nothing, so while the set has
// not changed since they were added, there is nothing to do.
void AddImplicitNamespaces() {
  static std::atomic<std::uint64_t> added{0};
  if (added.load() == CImplicitNamespaces::Generation()) return;
  added.store(
      CImplicitNamespaces::AddAll({CNamespace(uri::kMessage, version::kMessageLayer),
                                   CNamespace(uri::kAgentMessages, version::kAgentMessages),
                                   CNamespace(uri::kCdGroupSettings, version::kGroupSettings)}));
}

// Built in place: a new announcement has the tag, namespace, schema version and
// need-reply the message needs, and its content is filled where it lives.
std::unique_ptr<CAgentStartupAnnouncement> BuildAnnouncement(const agent_info& config) {
  auto announcement = std::make_unique<CAgentStartupAnnouncement>();
  announcement->SetRequestId(kRequestId);
  CAgentInfoContent& content = announcement->GetContent();
  content.SetName(FromUtf8(config.name));
  content.SetAgentId(FromUtf8(config.uuid));
  content.SetAgentNamespace(FromUtf8(config.agent_namespace));
  content.SetVersion(FromUtf8(config.version));
  content.SetAgentStatus(codes::kStatusAbsent);
  content.SetTqeStatus(codes::kStatusAbsent);
  content.SetUseLocalSettings(false);
  content.SetSendNewSchemas(true);
  content.SetPersistentConnection(kTriNotStated);
  content.SetReverseConnection(kTriNotStated);
  return announcement;
}

// The links document shares the announcement's namespace pair, so the message's
// namespace set has no conflict; the text inherits that default namespace too.
// Only a declaration at the start of the links is dropped (the document text keeps
// everything after it, "?>" included).
std::unique_ptr<CPolicyDocumentText> BuildLinksDocument(const std::string& links_utf8) {
  return std::make_unique<CPolicyDocumentText>(kLinksTag, uri::kAgentMessages,
                                               version::kAgentMessages,
                                               FromUtf8(without_leading_xml_declaration(links_utf8)),
                                               L"", L"");
}

bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Filled where the message keeps it, named "source" already.
void BuildSource(const agent_info& config, CAgentInfo& source) {
  source.SetName(kSourceName);
  source.SetNamespace(uri::kPalisade);
  source.SetAgentId(FromUtf8(config.uuid));
}

// The stages of building the message, as trace lines.
enum stage { announcement, host_address, set_site_response, links_document, links_added,
             source_info, message_built, announcement_added, response_added, stage_count };
constexpr const char* kStageLines[stage_count] = {
    "Creating agent_startup_announcement", "Converting hostname / IP Address",
    "Creating set site response", "Creating policy document to hold the lmi links",
    "Adding lmi links to pointer set site response", "Creating agent info",
    "Creating (http / xml) response message", "Adding startup announcement",
    "Adding set site response"};

// Traces its stages under the block of process_set_site_message, which it serves.
void BuildAndSerialize(ud_block_ref block, const agent_info& config, const std::string& dns_name,
                       const std::string& lmi_links_utf8, std::string& response) {
  UD_USE_BLOCK(block);
  CCmlMessage message;
  UD_TRACE(42000, "%s", kStageLines[announcement]);
  std::unique_ptr<CAgentStartupAnnouncement> startup = BuildAnnouncement(config);
  UD_TRACE(42000, "%s", kStageLines[host_address]);
  startup->GetContent().GetHostInfo().SetIpAddress(FromUtf8(dns_name));
  UD_TRACE(42000, "%s", kStageLines[set_site_response]);
  auto setSiteResponse = std::make_unique<CSetSiteResponse>();
  setSiteResponse->SetSiteAccessible(false);
  UD_TRACE(42000, "%s", kStageLines[links_document]);
  std::unique_ptr<CPolicyDocumentText> links = BuildLinksDocument(lmi_links_utf8);
  UD_TRACE(42000, "%s", kStageLines[links_added]);
  setSiteResponse->AddPolicySource(links.release());
  UD_TRACE(42000, "%s", kStageLines[source_info]);
  BuildSource(config, message.GetSource());
  UD_TRACE(42000, "%s", kStageLines[message_built]);
  message.SetMessageId(kMessageId);
  message.SetResponseTo(L"");
  message.SetBroadcast(false);
  UD_TRACE(42000, "%s", kStageLines[announcement_added]);
  message.AddRequest(startup.release());
  UD_TRACE(42000, "%s", kStageLines[response_added]);
  message.AddResponse(setSiteResponse.release());
  UD_TRACE(43000, "serializing");
  // The bytes a UTF-8 stream would take, written without one.
  message.SerializeUtf8(response);
}

// The same trace lines as BuildAndSerialize, for an answer built before.
void ReplayStages(ud_block_ref block, const std::string& prepared, std::string& response) {
  UD_USE_BLOCK(block);
  for (const char* line : kStageLines) UD_TRACE(42000, "%s", line);
  UD_TRACE(43000, "serializing");
  response = prepared;
}

}  // namespace

void prepare_set_site_message_support() {
  static std::once_flag once;
  std::call_once(once, [] {
    EnsureXercesInitialized();
    RegisterClasses();
    // Lets a registration message read back deserialise completely.
    CAgentStartupAnnouncement::Register();
    AddImplicitNamespaces();
  });
}

std::string without_leading_xml_declaration(const std::string& text) {
  static const std::string kBom = "\xEF\xBB\xBF", kStart = "<?xml", kEnd = "?>";
  const std::size_t start = text.compare(0, kBom.size(), kBom) == 0 ? kBom.size() : 0;
  const std::size_t blank = start + kStart.size();
  if (text.compare(start, kStart.size(), kStart) != 0 || blank >= text.size() ||
      !IsXmlBlank(text[blank]))
    return text;
  const std::size_t end = text.find(kEnd, blank);
  return end == std::string::npos ? text : text.substr(end + kEnd.size());
}

bool is_well_formed_links_fragment(const std::string& links_utf8) {
  // Check the text exactly as the message will carry it (bytes that are not UTF-8
  // become U+FFFD there).
  std::string text = ToUtf8(FromUtf8(without_leading_xml_declaration(links_utf8)));
  std::string wrapped = "<qel-links-fragment>" + text + "</qel-links-fragment>";
  try {
    CCmlParser parser(2);
    parser.Parse(wrapped.data(), wrapped.size(), kParseNoValidation);
    return true;
  } catch (const CCmlException&) {
    return false;
  }
}

void process_set_site_message(const agent_info& config, const std::string& dns_name,
                              const std::string& lmi_links_utf8, const std::string& request,
                              std::string& response, const std::string* prepared) {
  UD_ENTER("process_set_site_message", "agent name |%s| uuid |%s| namespace |%s| version |%s|",
           config.name.c_str(), config.uuid.c_str(), config.agent_namespace.c_str(),
           config.version.c_str());
  try {
    RegisterClasses();
    AddImplicitNamespaces();
    UD_TRACE(43000, "NOT deserializing request");
    UD_TRACE(43000, "request |%.*s|", trace_len(request), request.c_str());
    UD_TRACE(40000, "request deserialized.  request_id = %s", "");
    UD_TRACE(40000, "dns_name |%.*s|", trace_len(dns_name), dns_name.c_str());
    UD_TRACE(43000, "lmi_links_utf8 |%.*s|", trace_len(lmi_links_utf8), lmi_links_utf8.c_str());
    if (prepared != nullptr) {
      ReplayStages(UD_BLOCK, *prepared, response);
    } else {
      BuildAndSerialize(UD_BLOCK, config, dns_name, lmi_links_utf8, response);
    }
  } catch (const CCmlException& e) {
    UD_TRACE(40000, "Caught CCmlException");
    std::string text = ToUtf8(e.GetText());
    UD_TRACE(42000, "code is %x messasge is %.*s", static_cast<unsigned>(e.GetCode()),
             trace_len(text), text.c_str());
    throw funneltunnel_exception(
        "reverse_registration process_set_site_message caught Caught CCmlException",
        status::GENERAL_FAILURE);
  } catch (const funneltunnel_exception& e) {
    UD_TRACE(40000, "exception type at catch is of type %s", typeid(e).name());
    UD_TRACE(43000, "Caught funneltunnel exception");
    throw;
  } catch (...) {
    UD_TRACE(40000, "Caught unknown exception");
    throw;
  }
  UD_EXIT("%zu bytes", response.size());
}

}  // namespace funneltunnel
}  // namespace qel
