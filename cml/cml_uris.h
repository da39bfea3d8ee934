// The namespace table of the CML language. Every CML namespace URI is the one base
// URI (QEL_CML_BASE_URI) followed by a path; the URIs below are joined at compile
// time, so the base is spelled exactly once. Constants; any thread may read them.
#ifndef QEL_CML_URIS_H
#define QEL_CML_URIS_H

#include <string>

// The namespace base URI (no trailing slash); itself the namespace of the outer
// element of a compound message.
#define QEL_CML_BASE_URI L"http://www.example.com"

namespace qel {
namespace cml {
namespace uri {

inline constexpr wchar_t kBase[] = QEL_CML_BASE_URI;

#define QEL_CML_NS(name, path) inline constexpr wchar_t name[] = QEL_CML_BASE_URI path;
QEL_CML_NS(kCml, L"/cml")
QEL_CML_NS(kCommon, L"/cml/common")
QEL_CML_NS(kProperty, L"/cml/property")
QEL_CML_NS(kPolicyBase, L"/cml/PolicyBase")
QEL_CML_NS(kGroupSettings, L"/cml/GroupSettings")
QEL_CML_NS(kNetworkObjects, L"/cml/NetworkObjects")
QEL_CML_NS(kLmiLinks, L"/cml/LmiLinks")
QEL_CML_NS(kServerSettings, L"/cml/ServerSettings")
QEL_CML_NS(kAvpSections, L"/cml/AvpSections")
QEL_CML_NS(kRoAvpSections, L"/cml/RoAvpSections")
QEL_CML_NS(kAgentStatusDetails, L"/cml/AgentStatusDetails")
QEL_CML_NS(kSchemaInventory, L"/cml/SchemaInventory")
QEL_CML_NS(kCore, L"/cml/Core")
QEL_CML_NS(kMessage, L"/cml/Message")
QEL_CML_NS(kCoreMessageCommon, L"/cml/Core/MessageCommon")
QEL_CML_NS(kCorePolicyCommon, L"/cml/Core/PolicyCommon")
QEL_CML_NS(kCorePolicyBase, L"/cml/Core/PolicyBase")
QEL_CML_NS(kCdProperty, L"/cml/CommonDocuments/Property")
QEL_CML_NS(kCdGroupSettings, L"/cml/CommonDocuments/GroupSettings")
QEL_CML_NS(kCdExternalTrustSettings, L"/cml/CommonDocuments/ExternalTrustSettings")
QEL_CML_NS(kAgentMessages, L"/cml/Message/AgentMessages")
QEL_CML_NS(kAssetMessages, L"/cml/Message/AssetMessages")
QEL_CML_NS(kEventQueryMessages, L"/cml/Message/EventQueryMessages")
QEL_CML_NS(kCdLmiLinks, L"/cml/CommonDocuments/LmiLinks")
QEL_CML_NS(kCdServerSettings, L"/cml/CommonDocuments/ServerSettings")
QEL_CML_NS(kCdAvpSections, L"/cml/CommonDocuments/AvpSections")
QEL_CML_NS(kCdRoAvpSections, L"/cml/CommonDocuments/RoAvpSections")
QEL_CML_NS(kCdAgentStatusDetails, L"/cml/CommonDocuments/AgentStatusDetails")
QEL_CML_NS(kCdConnectionStatus, L"/cml/CommonDocuments/ConnectionStatus")
QEL_CML_NS(kCdSchemaInventory, L"/cml/CommonDocuments/SchemaInventory")
QEL_CML_NS(kCdBase64Binary, L"/cml/CommonDocuments/Base64Binary")
QEL_CML_NS(kCdNullPolicy, L"/cml/CommonDocuments/NullPolicy")
QEL_CML_NS(kPolicyMessages, L"/cml/Message/PolicyMessages")
QEL_CML_NS(kSchemaMessages, L"/cml/Message/SchemaMessages")
QEL_CML_NS(kTaskMessages, L"/cml/Message/TaskMessages")
// The namespace a message source names for the connection server itself.
QEL_CML_NS(kPalisade, L"/cml/Palisade")
#undef QEL_CML_NS

// Published W3C namespaces.
inline constexpr wchar_t kXmlSchema[] = L"http://www.w3.org/2001/XMLSchema";
inline constexpr wchar_t kXmlSchemaInstance[] = L"http://www.w3.org/2001/XMLSchema-instance";

// Base URI followed by `path` (which begins with "/").
std::wstring Join(const std::wstring& path);

}  // namespace uri

namespace version {
// Versions the core classes write.
inline constexpr wchar_t kCompoundMessage[] = L"1.0.1";   // supported compound message
inline constexpr wchar_t kCompoundMessageOld[] = L"1.0.0";
inline constexpr wchar_t kMessageLayer[] = L"1.0.0";      // "/cml/Message"
inline constexpr wchar_t kMessageLayerOld[] = L"2.4.2";   // "/cml"
// What ApplyMessageLayerToChildren gives the body elements of a message: in the older
// layout "/cml" at 2.4.1, without the 2.4.2 attributes of the agent information.
inline constexpr wchar_t kMessageLayerChildren[] = L"2.4.1";
inline constexpr wchar_t kAgentMessages[] = L"1.0.4";
inline constexpr wchar_t kGroupSettings[] = L"2.3.3";
inline constexpr wchar_t kAvpSections[] = L"1.0.0";  // the library's own choice
}  // namespace version

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_URIS_H
