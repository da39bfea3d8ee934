// CML vocabulary: every element and attribute name of the message language, one
// named constant per word, in the order the language defines them. Classes spell a
// name only through these constants. Compile-time constants; any thread may read them.
#ifndef QEL_CML_VOCABULARY_H
#define QEL_CML_VOCABULARY_H

namespace qel {
namespace cml {
namespace vocab {

inline constexpr wchar_t kQel[] = L"qel";
inline constexpr wchar_t kCml[] = L"cml";
inline constexpr wchar_t kRequest[] = L"request";
inline constexpr wchar_t kResponse[] = L"response";
inline constexpr wchar_t kMessageId[] = L"message-id";
inline constexpr wchar_t kRequestId[] = L"request-id";
inline constexpr wchar_t kResponseTo[] = L"response-to";
inline constexpr wchar_t kCode[] = L"code";
inline constexpr wchar_t kText[] = L"text";
inline constexpr wchar_t kSchemaVersion[] = L"schema-version";
inline constexpr wchar_t kDescription[] = L"description";
inline constexpr wchar_t kNeedReply[] = L"need-reply";
inline constexpr wchar_t kMessageEnvelope[] = L"message-envelope";
inline constexpr wchar_t kSource[] = L"source";
inline constexpr wchar_t kDestination[] = L"destination";
inline constexpr wchar_t kMessageBody[] = L"message-body";
inline constexpr wchar_t kAgentStartupAnnouncement[] = L"agent-startup-announcement";
inline constexpr wchar_t kAgentShutdownAnnouncement[] = L"agent-shutdown-announcement";
inline constexpr wchar_t kGetAgentInfoRequest[] = L"get-agent-info-request";
inline constexpr wchar_t kGetSchemaInfoRequest[] = L"get-schema-info-request";
inline constexpr wchar_t kGetSchemaRequest[] = L"get-schema-request";
inline constexpr wchar_t kSetSchemaRequest[] = L"set-schema-request";
inline constexpr wchar_t kGetPolicyRequest[] = L"get-policy-request";
inline constexpr wchar_t kSetPolicyRequest[] = L"set-policy-request";
inline constexpr wchar_t kConfigureTaskRequest[] = L"configure-task-request";
inline constexpr wchar_t kPauseTaskRequest[] = L"pause-task-request";
inline constexpr wchar_t kResumeTaskRequest[] = L"resume-task-request";
inline constexpr wchar_t kStopTaskRequest[] = L"stop-task-request";
inline constexpr wchar_t kDeleteTaskDataRequest[] = L"delete-task-data-request";
inline constexpr wchar_t kGetTaskStatusRequest[] = L"get-task-status-request";
inline constexpr wchar_t kResetAgentRequest[] = L"reset-agent-request";
inline constexpr wchar_t kGetAgentStatusRequest[] = L"get-agent-status-request";
inline constexpr wchar_t kAgentStatusAnnouncement[] = L"agent-status-announcement";
inline constexpr wchar_t kAdfEventMessage[] = L"adf-event-message";
inline constexpr wchar_t kSaveFilesRequest[] = L"save-files-request";
inline constexpr wchar_t kExchangeKeysRequest[] = L"exchange-keys-request";
inline constexpr wchar_t kAttachToSiteRequest[] = L"attach-to-site-request";
inline constexpr wchar_t kGetSitePolicyRequest[] = L"get-site-policy-request";
inline constexpr wchar_t kGetGroupPolicyRequest[] = L"get-group-policy-request";
inline constexpr wchar_t kSubscribePolicyRequest[] = L"subscribe-policy-request";
inline constexpr wchar_t kGetTsTaskRequest[] = L"get-ts-task-request";
inline constexpr wchar_t kSetTsTaskRequest[] = L"set-ts-task-request";
inline constexpr wchar_t kUpdateTsTaskRequest[] = L"update-ts-task-request";
inline constexpr wchar_t kGetSiteGroupsRequest[] = L"get-site-groups-request";
inline constexpr wchar_t kGetGroupHostsRequest[] = L"get-group-hosts-request";
inline constexpr wchar_t kGetHostCountsRequest[] = L"get-host-counts-request";
inline constexpr wchar_t kSetHostInfoRequest[] = L"set-host-info-request";
inline constexpr wchar_t kSubscribeTsTaskRequest[] = L"subscribe-ts-task-request";
inline constexpr wchar_t kSetSiteRequest[] = L"set-site-request";
inline constexpr wchar_t kGetObservancesByAddressRequest[] = L"get-observances-by-address-request";
inline constexpr wchar_t kGetObservancesByGroupRequest[] = L"get-observances-by-group-request";
inline constexpr wchar_t kGetVulnerabilitiesByAddressRequest[] = L"get-vulnerabilities-by-address-request";
inline constexpr wchar_t kGetVulnerabilitiesByGroupRequest[] = L"get-vulnerabilities-by-group-request";
inline constexpr wchar_t kOutOfBandResponse[] = L"out-of-band-response";
inline constexpr wchar_t kAgentStartupAcknowledgement[] = L"agent-startup-acknowledgement";
inline constexpr wchar_t kAgentShutdownAcknowledgement[] = L"agent-shutdown-acknowledgement";
inline constexpr wchar_t kSchemaNotSupportedResponse[] = L"schema-not-supported-response";
inline constexpr wchar_t kGetAgentInfoResponse[] = L"get-agent-info-response";
inline constexpr wchar_t kGetSchemaInfoResponse[] = L"get-schema-info-response";
inline constexpr wchar_t kGetSchemaResponse[] = L"get-schema-response";
inline constexpr wchar_t kSetSchemaResponse[] = L"set-schema-response";
inline constexpr wchar_t kGetPolicyResponse[] = L"get-policy-response";
inline constexpr wchar_t kSetPolicyResponse[] = L"set-policy-response";
inline constexpr wchar_t kConfigureTaskResponse[] = L"configure-task-response";
inline constexpr wchar_t kPauseTaskResponse[] = L"pause-task-response";
inline constexpr wchar_t kResumeTaskResponse[] = L"resume-task-response";
inline constexpr wchar_t kStopTaskResponse[] = L"stop-task-response";
inline constexpr wchar_t kDeleteTaskDataResponse[] = L"delete-task-data-response";
inline constexpr wchar_t kGetTaskStatusResponse[] = L"get-task-status-response";
inline constexpr wchar_t kResetAgentResponse[] = L"reset-agent-response";
inline constexpr wchar_t kErrorResponse[] = L"error-response";
inline constexpr wchar_t kGetAgentStatusResponse[] = L"get-agent-status-response";
inline constexpr wchar_t kAgentStatusAcknowledgement[] = L"agent-status-acknowledgement";
inline constexpr wchar_t kSaveFilesResponse[] = L"save-files-response";
inline constexpr wchar_t kExchangeKeysResponse[] = L"exchange-keys-response";
inline constexpr wchar_t kAttachToSiteResponse[] = L"attach-to-site-response";
inline constexpr wchar_t kGetSitePolicyResponse[] = L"get-site-policy-response";
inline constexpr wchar_t kGetGroupPolicyResponse[] = L"get-group-policy-response";
inline constexpr wchar_t kSubscribePolicyResponse[] = L"subscribe-policy-response";
inline constexpr wchar_t kGetTsTaskResponse[] = L"get-ts-task-response";
inline constexpr wchar_t kSetTsTaskResponse[] = L"set-ts-task-response";
inline constexpr wchar_t kUpdateTsTaskResponse[] = L"update-ts-task-response";
inline constexpr wchar_t kGetSiteGroupsResponse[] = L"get-site-groups-response";
inline constexpr wchar_t kGetGroupHostsResponse[] = L"get-group-hosts-response";
inline constexpr wchar_t kGetHostCountsResponse[] = L"get-host-counts-response";
inline constexpr wchar_t kSetHostInfoResponse[] = L"set-host-info-response";
inline constexpr wchar_t kSubscribeTsTaskResponse[] = L"subscribe-ts-task-response";
inline constexpr wchar_t kSetSiteResponse[] = L"set-site-response";
inline constexpr wchar_t kGetObservancesResponse[] = L"get-observances-response";
inline constexpr wchar_t kGetVulnerabilitiesResponse[] = L"get-vulnerabilities-response";
inline constexpr wchar_t kBroadcast[] = L"broadcast";
inline constexpr wchar_t kAgentGroup[] = L"agent-group";
inline constexpr wchar_t kAgentSettings[] = L"agent-settings";
inline constexpr wchar_t kAgentConfig[] = L"agent-config";
inline constexpr wchar_t kAgentDiagnostics[] = L"agent-diagnostics";
inline constexpr wchar_t kPosterInfo[] = L"poster-info";
inline constexpr wchar_t kControllerInfo[] = L"controller-info";
inline constexpr wchar_t kControllerList[] = L"controller-list";
inline constexpr wchar_t kAdaptivePolicySettings[] = L"adaptive-policy-settings";
inline constexpr wchar_t kTqeSettings[] = L"tqe-settings";
inline constexpr wchar_t kCorporateAddressRange[] = L"corporate-address-range";
inline constexpr wchar_t kVpnAddressRange[] = L"vpn-address-range";
inline constexpr wchar_t kIpAddress[] = L"ip-address";
inline constexpr wchar_t kIpAddressRange[] = L"ip-address-range";
inline constexpr wchar_t kFrequency[] = L"frequency";
inline constexpr wchar_t kDuration[] = L"duration";
inline constexpr wchar_t kTime[] = L"time";
inline constexpr wchar_t kDay[] = L"day";
inline constexpr wchar_t kYear[] = L"year";
inline constexpr wchar_t kStart[] = L"start";
inline constexpr wchar_t kEnd[] = L"end";
inline constexpr wchar_t kOs[] = L"os";
inline constexpr wchar_t kParam[] = L"param";
inline constexpr wchar_t kVersion[] = L"version";
inline constexpr wchar_t kModel[] = L"model";
inline constexpr wchar_t kTqeVersion[] = L"tqe-version";
inline constexpr wchar_t kLastTqePath[] = L"last-tqe-path";
inline constexpr wchar_t kTqeStatus[] = L"tqe-status";
inline constexpr wchar_t kTqeStatusDescription[] = L"tqe-status-description";
inline constexpr wchar_t kAgentInstallPath[] = L"agent-install-path";
inline constexpr wchar_t kDaemonInstallPath[] = L"daemon-install-path";
inline constexpr wchar_t kGroupnameHint[] = L"groupname-hint";
inline constexpr wchar_t kUseLocalSettings[] = L"use-local-settings";
inline constexpr wchar_t kLastRestart[] = L"last-restart";
inline constexpr wchar_t kSendNewSchemas[] = L"send-new-schemas";
inline constexpr wchar_t kRegisterAgent[] = L"register-agent";
inline constexpr wchar_t kName[] = L"name";
inline constexpr wchar_t kType[] = L"type";
inline constexpr wchar_t kNamespace[] = L"namespace";
inline constexpr wchar_t kMinOccurs[] = L"minOccurs";
inline constexpr wchar_t kMaxOccurs[] = L"maxOccurs";
inline constexpr wchar_t kGlobal[] = L"global";
inline constexpr wchar_t kDescriptorContent[] = L"descriptor-content";
inline constexpr wchar_t kTaskInfo[] = L"task-info";
inline constexpr wchar_t kAction[] = L"action";
inline constexpr wchar_t kMessage[] = L"message";
inline constexpr wchar_t kHostName[] = L"host-name";
inline constexpr wchar_t kProxyHost[] = L"proxy-host";
inline constexpr wchar_t kPort[] = L"port";
inline constexpr wchar_t kProxyPort[] = L"proxy-port";
inline constexpr wchar_t kOrdinal[] = L"ordinal";
inline constexpr wchar_t kUserName[] = L"user-name";
inline constexpr wchar_t kProxyUserName[] = L"proxy-user-name";
inline constexpr wchar_t kPasswd[] = L"passwd";
inline constexpr wchar_t kProxyPasswd[] = L"proxy-passwd";
inline constexpr wchar_t kGroup[] = L"group";
inline constexpr wchar_t kTag[] = L"tag";
inline constexpr wchar_t kUnit[] = L"unit";
inline constexpr wchar_t kValue[] = L"value";
inline constexpr wchar_t kNumThreads[] = L"num-threads";
inline constexpr wchar_t kMaxThreads[] = L"max-threads";
inline constexpr wchar_t kMaxMemory[] = L"max-memory";
inline constexpr wchar_t kSchema[] = L"schema";
inline constexpr wchar_t kSchemaLocation[] = L"schemaLocation";
inline constexpr wchar_t kSchemaList[] = L"schema-list";
inline constexpr wchar_t kSchemaInfo[] = L"schema-info";
inline constexpr wchar_t kHostInfo[] = L"host-info";
inline constexpr wchar_t kAnnotation[] = L"annotation";
inline constexpr wchar_t kAppinfo[] = L"appinfo";
inline constexpr wchar_t kAgent[] = L"agent";
inline constexpr wchar_t kAgentId[] = L"agent-id";
inline constexpr wchar_t kElement[] = L"element";
inline constexpr wchar_t kTargetNamespace[] = L"targetNamespace";
inline constexpr wchar_t kPolicy[] = L"policy";
inline constexpr wchar_t kPolicyItem[] = L"policy-item";
inline constexpr wchar_t kPolicyRef[] = L"policy-ref";
inline constexpr wchar_t kOverwrite[] = L"overwrite";
inline constexpr wchar_t kRoot[] = L"root";
inline constexpr wchar_t kCpeEditable[] = L"cpe-editable";
inline constexpr wchar_t kGetFromAgent[] = L"get-from-agent";
inline constexpr wchar_t kGetLatestCompatible[] = L"get-latest-compatible";
inline constexpr wchar_t kTransferPath[] = L"transfer-path";
inline constexpr wchar_t kKeyfileBasename[] = L"keyfile-basename";
inline constexpr wchar_t kKeyContainerPath[] = L"key-container-path";
inline constexpr wchar_t kCryptConfigFile[] = L"crypt-config-file";
inline constexpr wchar_t kReconnectInterval[] = L"reconnect-interval";
inline constexpr wchar_t kEventChannelPort[] = L"event-channel-port";
inline constexpr wchar_t kControlChannelPort[] = L"control-channel-port";
inline constexpr wchar_t kAppTraceLevel[] = L"app-trace-level";
inline constexpr wchar_t kAppTraceFile[] = L"app-trace-file";
inline constexpr wchar_t kCommunicationsTraceLevel[] = L"communications-trace-level";
inline constexpr wchar_t kCommunicationsTraceFile[] = L"communications-trace-file";
inline constexpr wchar_t kSystemTraceLevel[] = L"system-trace-level";
inline constexpr wchar_t kLogPerformanceStats[] = L"log-performance-stats";
inline constexpr wchar_t kPerformanceTraceFile[] = L"performance-trace-file";
inline constexpr wchar_t kHeartbeatInterval[] = L"heartbeat-interval";
inline constexpr wchar_t kTrustLevel[] = L"trust-level";
inline constexpr wchar_t kTrustAll[] = L"trust-all";
inline constexpr wchar_t kFirstTimeTrust[] = L"first-time-trust";
inline constexpr wchar_t kExplicitTrust[] = L"explicit-trust";
inline constexpr wchar_t kPingListenerPort[] = L"ping-listener-port";
inline constexpr wchar_t kGroupNameHint[] = L"group-name-hint";
inline constexpr wchar_t kUnresponsiveAgentThreshold[] = L"unresponsive-agent-threshold";
inline constexpr wchar_t kManagementGroup[] = L"management-group";
inline constexpr wchar_t kLastConfigChange[] = L"last-config-change";
inline constexpr wchar_t kLastHeartbeat[] = L"last-heartbeat";
inline constexpr wchar_t kClockDifference[] = L"clock-difference";
inline constexpr wchar_t kSchedule[] = L"schedule";
inline constexpr wchar_t kTask[] = L"task";
inline constexpr wchar_t kTaskStatus[] = L"task-status";
inline constexpr wchar_t kTaskId[] = L"task-id";
inline constexpr wchar_t kDate[] = L"date";
inline constexpr wchar_t kContentDateList[] = L"content-date-list";
inline constexpr wchar_t kContentDate[] = L"content-date";
inline constexpr wchar_t kCurrentDate[] = L"current-date";
inline constexpr wchar_t kModule[] = L"module";
inline constexpr wchar_t kModuleList[] = L"module-list";
inline constexpr wchar_t kUpdate[] = L"update";
inline constexpr wchar_t kUpdateList[] = L"update-list";
inline constexpr wchar_t kDefault[] = L"default";
inline constexpr wchar_t kCount[] = L"count";
inline constexpr wchar_t kStatus[] = L"status";
inline constexpr wchar_t kNone[] = L"none";
inline constexpr wchar_t kError[] = L"error";
inline constexpr wchar_t kWarning[] = L"warning";
inline constexpr wchar_t kNotice[] = L"notice";
inline constexpr wchar_t kInfo[] = L"info";
inline constexpr wchar_t kDebug[] = L"debug";
inline constexpr wchar_t kFull[] = L"full";
inline constexpr wchar_t kTrue[] = L"true";
inline constexpr wchar_t kFalse[] = L"false";
inline constexpr wchar_t kValid[] = L"valid";
inline constexpr wchar_t kXmlns[] = L"xmlns";
inline constexpr wchar_t kServerSettingsInfo[] = L"server-settings-info";
inline constexpr wchar_t kServerName[] = L"server-name";
inline constexpr wchar_t kCompressionEnabled[] = L"compression-enabled";
inline constexpr wchar_t kCertFile[] = L"cert-file";
inline constexpr wchar_t kKeyFile[] = L"key-file";
inline constexpr wchar_t kPassphrase[] = L"passphrase";
inline constexpr wchar_t kKey[] = L"key";
inline constexpr wchar_t kAlgorithm[] = L"algorithm";
inline constexpr wchar_t kLength[] = L"length";
inline constexpr wchar_t kTimeout[] = L"timeout";
inline constexpr wchar_t kAgentMsid[] = L"agent-msid";
inline constexpr wchar_t kGroupMsid[] = L"group-msid";
inline constexpr wchar_t kHostMsid[] = L"host-msid";
inline constexpr wchar_t kTimestamp[] = L"timestamp";
inline constexpr wchar_t kGroupItem[] = L"group-item";
inline constexpr wchar_t kHostItem[] = L"host-item";
inline constexpr wchar_t kHostCountItem[] = L"host-count-item";
inline constexpr wchar_t kAgentItem[] = L"agent-item";
inline constexpr wchar_t kNullPolicyInfo[] = L"null-policy-info";
inline constexpr wchar_t kPersistentConnection[] = L"persistent-connection";
inline constexpr wchar_t kReverseConnection[] = L"reverse-connection";
inline constexpr wchar_t kAgentStatus[] = L"agent-status";
inline constexpr wchar_t kStatusText[] = L"status-text";
inline constexpr wchar_t kNbname[] = L"nbname";
inline constexpr wchar_t kNbdomain[] = L"nbdomain";
inline constexpr wchar_t kAdObjectId[] = L"ad-object-id";
inline constexpr wchar_t kAdGroupId[] = L"ad-group-id";
inline constexpr wchar_t kToken[] = L"token";
inline constexpr wchar_t kSection[] = L"section";
inline constexpr wchar_t kTuningList[] = L"tuning-list";
inline constexpr wchar_t kTuning[] = L"tuning";
inline constexpr wchar_t kAuthToken[] = L"auth-token";
inline constexpr wchar_t kAuthHash[] = L"auth-hash";
inline constexpr wchar_t kItemId[] = L"item-id";
inline constexpr wchar_t kTsTaskItem[] = L"ts-task-item";
inline constexpr wchar_t kCriticality[] = L"criticality";
inline constexpr wchar_t kStartCursor[] = L"start-cursor";
inline constexpr wchar_t kEndCursor[] = L"end-cursor";
inline constexpr wchar_t kSetSiteRequestInfo[] = L"set-site-request-info";
inline constexpr wchar_t kSetSite[] = L"set-site";
inline constexpr wchar_t kOverrideSite[] = L"override-site";
inline constexpr wchar_t kSetSiteResponseInfo[] = L"set-site-response-info";
inline constexpr wchar_t kSiteAccessible[] = L"site-accessible";
inline constexpr wchar_t kExternalTrustList[] = L"external-trust-list";
inline constexpr wchar_t kExternalHost[] = L"external-host";
inline constexpr wchar_t kCaCertFile[] = L"ca-cert-file";
inline constexpr wchar_t kCaCertPath[] = L"ca-cert-path";
inline constexpr wchar_t kKsPath[] = L"ksPath";
inline constexpr wchar_t kKsStash[] = L"ksStash";
inline constexpr wchar_t kAddressRange[] = L"address-range";
inline constexpr wchar_t kStartAddress[] = L"start-address";
inline constexpr wchar_t kEndAddress[] = L"end-address";
inline constexpr wchar_t kAddressType[] = L"address-type";
inline constexpr wchar_t kTimeRange[] = L"time-range";
inline constexpr wchar_t kStartTime[] = L"start-time";
inline constexpr wchar_t kEndTime[] = L"end-time";
inline constexpr wchar_t kAnalysisType[] = L"analysis-type";
inline constexpr wchar_t kSourceAnalysis[] = L"source-analysis";
inline constexpr wchar_t kTargetAnalysis[] = L"target-analysis";
inline constexpr wchar_t kSensorAnalysis[] = L"sensor-analysis";
inline constexpr wchar_t kObservanceType[] = L"observance-type";
inline constexpr wchar_t kTypeIdList[] = L"type-id-list";
inline constexpr wchar_t kExclude[] = L"exclude";
inline constexpr wchar_t kVulnType[] = L"vuln-type";
inline constexpr wchar_t kFixed[] = L"fixed";
inline constexpr wchar_t kResultFilter[] = L"result-filter";
inline constexpr wchar_t kResultItem[] = L"result-item";
inline constexpr wchar_t kGroupId[] = L"group-id";
inline constexpr wchar_t kObservanceItem[] = L"observance-item";
inline constexpr wchar_t kVulnerabilityItem[] = L"vulnerability-item";
inline constexpr wchar_t kResultId[] = L"result-id";
inline constexpr wchar_t kResultData[] = L"result-data";
inline constexpr wchar_t kFile[] = L"file";
inline constexpr wchar_t kTargetLocation[] = L"target-location";
inline constexpr wchar_t kChecksum[] = L"checksum";
inline constexpr wchar_t kEncoding[] = L"encoding";
inline constexpr wchar_t kSigature[] = L"sigature";
inline constexpr wchar_t kSize[] = L"size";
inline constexpr wchar_t kAltIpaddress[] = L"alt-ipaddress";
inline constexpr wchar_t kAltDnsname[] = L"alt-dnsname";

// Words the agent information content uses beyond the table above.
inline constexpr wchar_t kCopyrightInfo[] = L"copyright-info";
inline constexpr wchar_t kPatentInfo[] = L"patent-info";
inline constexpr wchar_t kIdentity[] = L"identity";

// All words of the table in definition order, for tests and tools that list the vocabulary.
inline constexpr const wchar_t* kAllWords[] = {
    kQel,
    kCml,
    kRequest,
    kResponse,
    kMessageId,
    kRequestId,
    kResponseTo,
    kCode,
    kText,
    kSchemaVersion,
    kDescription,
    kNeedReply,
    kMessageEnvelope,
    kSource,
    kDestination,
    kMessageBody,
    kAgentStartupAnnouncement,
    kAgentShutdownAnnouncement,
    kGetAgentInfoRequest,
    kGetSchemaInfoRequest,
    kGetSchemaRequest,
    kSetSchemaRequest,
    kGetPolicyRequest,
    kSetPolicyRequest,
    kConfigureTaskRequest,
    kPauseTaskRequest,
    kResumeTaskRequest,
    kStopTaskRequest,
    kDeleteTaskDataRequest,
    kGetTaskStatusRequest,
    kResetAgentRequest,
    kGetAgentStatusRequest,
    kAgentStatusAnnouncement,
    kAdfEventMessage,
    kSaveFilesRequest,
    kExchangeKeysRequest,
    kAttachToSiteRequest,
    kGetSitePolicyRequest,
    kGetGroupPolicyRequest,
    kSubscribePolicyRequest,
    kGetTsTaskRequest,
    kSetTsTaskRequest,
    kUpdateTsTaskRequest,
    kGetSiteGroupsRequest,
    kGetGroupHostsRequest,
    kGetHostCountsRequest,
    kSetHostInfoRequest,
    kSubscribeTsTaskRequest,
    kSetSiteRequest,
    kGetObservancesByAddressRequest,
    kGetObservancesByGroupRequest,
    kGetVulnerabilitiesByAddressRequest,
    kGetVulnerabilitiesByGroupRequest,
    kOutOfBandResponse,
    kAgentStartupAcknowledgement,
    kAgentShutdownAcknowledgement,
    kSchemaNotSupportedResponse,
    kGetAgentInfoResponse,
    kGetSchemaInfoResponse,
    kGetSchemaResponse,
    kSetSchemaResponse,
    kGetPolicyResponse,
    kSetPolicyResponse,
    kConfigureTaskResponse,
    kPauseTaskResponse,
    kResumeTaskResponse,
    kStopTaskResponse,
    kDeleteTaskDataResponse,
    kGetTaskStatusResponse,
    kResetAgentResponse,
    kErrorResponse,
    kGetAgentStatusResponse,
    kAgentStatusAcknowledgement,
    kSaveFilesResponse,
    kExchangeKeysResponse,
    kAttachToSiteResponse,
    kGetSitePolicyResponse,
    kGetGroupPolicyResponse,
    kSubscribePolicyResponse,
    kGetTsTaskResponse,
    kSetTsTaskResponse,
    kUpdateTsTaskResponse,
    kGetSiteGroupsResponse,
    kGetGroupHostsResponse,
    kGetHostCountsResponse,
    kSetHostInfoResponse,
    kSubscribeTsTaskResponse,
    kSetSiteResponse,
    kGetObservancesResponse,
    kGetVulnerabilitiesResponse,
    kBroadcast,
    kAgentGroup,
    kAgentSettings,
    kAgentConfig,
    kAgentDiagnostics,
    kPosterInfo,
    kControllerInfo,
    kControllerList,
    kAdaptivePolicySettings,
    kTqeSettings,
    kCorporateAddressRange,
    kVpnAddressRange,
    kIpAddress,
    kIpAddressRange,
    kFrequency,
    kDuration,
    kTime,
    kDay,
    kYear,
    kStart,
    kEnd,
    kOs,
    kParam,
    kVersion,
    kModel,
    kTqeVersion,
    kLastTqePath,
    kTqeStatus,
    kTqeStatusDescription,
    kAgentInstallPath,
    kDaemonInstallPath,
    kGroupnameHint,
    kUseLocalSettings,
    kLastRestart,
    kSendNewSchemas,
    kRegisterAgent,
    kName,
    kType,
    kNamespace,
    kMinOccurs,
    kMaxOccurs,
    kGlobal,
    kDescriptorContent,
    kTaskInfo,
    kAction,
    kMessage,
    kHostName,
    kProxyHost,
    kPort,
    kProxyPort,
    kOrdinal,
    kUserName,
    kProxyUserName,
    kPasswd,
    kProxyPasswd,
    kGroup,
    kTag,
    kUnit,
    kValue,
    kNumThreads,
    kMaxThreads,
    kMaxMemory,
    kSchema,
    kSchemaLocation,
    kSchemaList,
    kSchemaInfo,
    kHostInfo,
    kAnnotation,
    kAppinfo,
    kAgent,
    kAgentId,
    kElement,
    kTargetNamespace,
    kPolicy,
    kPolicyItem,
    kPolicyRef,
    kOverwrite,
    kRoot,
    kCpeEditable,
    kGetFromAgent,
    kGetLatestCompatible,
    kTransferPath,
    kKeyfileBasename,
    kKeyContainerPath,
    kCryptConfigFile,
    kReconnectInterval,
    kEventChannelPort,
    kControlChannelPort,
    kAppTraceLevel,
    kAppTraceFile,
    kCommunicationsTraceLevel,
    kCommunicationsTraceFile,
    kSystemTraceLevel,
    kLogPerformanceStats,
    kPerformanceTraceFile,
    kHeartbeatInterval,
    kTrustLevel,
    kTrustAll,
    kFirstTimeTrust,
    kExplicitTrust,
    kPingListenerPort,
    kGroupNameHint,
    kUnresponsiveAgentThreshold,
    kManagementGroup,
    kLastConfigChange,
    kLastHeartbeat,
    kClockDifference,
    kSchedule,
    kTask,
    kTaskStatus,
    kTaskId,
    kDate,
    kContentDateList,
    kContentDate,
    kCurrentDate,
    kModule,
    kModuleList,
    kUpdate,
    kUpdateList,
    kDefault,
    kCount,
    kStatus,
    kNone,
    kError,
    kWarning,
    kNotice,
    kInfo,
    kDebug,
    kFull,
    kTrue,
    kFalse,
    kValid,
    kXmlns,
    kServerSettingsInfo,
    kServerName,
    kCompressionEnabled,
    kCertFile,
    kKeyFile,
    kPassphrase,
    kKey,
    kAlgorithm,
    kLength,
    kTimeout,
    kAgentMsid,
    kGroupMsid,
    kHostMsid,
    kTimestamp,
    kGroupItem,
    kHostItem,
    kHostCountItem,
    kAgentItem,
    kNullPolicyInfo,
    kPersistentConnection,
    kReverseConnection,
    kAgentStatus,
    kStatusText,
    kNbname,
    kNbdomain,
    kAdObjectId,
    kAdGroupId,
    kToken,
    kSection,
    kTuningList,
    kTuning,
    kAuthToken,
    kAuthHash,
    kItemId,
    kTsTaskItem,
    kCriticality,
    kStartCursor,
    kEndCursor,
    kSetSiteRequestInfo,
    kSetSite,
    kOverrideSite,
    kSetSiteResponseInfo,
    kSiteAccessible,
    kExternalTrustList,
    kExternalHost,
    kCaCertFile,
    kCaCertPath,
    kKsPath,
    kKsStash,
    kAddressRange,
    kStartAddress,
    kEndAddress,
    kAddressType,
    kTimeRange,
    kStartTime,
    kEndTime,
    kAnalysisType,
    kSourceAnalysis,
    kTargetAnalysis,
    kSensorAnalysis,
    kObservanceType,
    kTypeIdList,
    kExclude,
    kVulnType,
    kFixed,
    kResultFilter,
    kResultItem,
    kGroupId,
    kObservanceItem,
    kVulnerabilityItem,
    kResultId,
    kResultData,
    kFile,
    kTargetLocation,
    kChecksum,
    kEncoding,
    kSigature,
    kSize,
    kAltIpaddress,
    kAltDnsname,
};

}  // namespace vocab
}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_VOCABULARY_H
