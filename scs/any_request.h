// The rules of resources registered with SCS_POST_ANY_REQUEST: which route a path takes
// (an exact registration, else the longest any-request resource it lies below, at a
// path boundary), which methods such a resource takes and which request-targets it
// refuses.
//
// Stateless functions, called on connection threads under the daemon's route lock
// (match_route) or on request data only (the rest).
#pragma once

#include <map>
#include <string>

#include "scs/http_daemon.h"
#include "scs/request_exchange.h"

namespace qel::scs {

// The methods of an any-request resource, as its 405 lists them in Allow.
constexpr const char* kAnyRequestMethods = "GET, HEAD, POST, PUT, PATCH, DELETE, OPTIONS";
// The one line of the 501 for CONNECT and protocol upgrades.
constexpr const char* kNotCarried = "qel: CONNECT and protocol upgrades are not carried by this tunnel";

// The route `path` (decoded, without query) takes: its own registration, else the
// longest any-request resource R with path == R or path below "R/"; null for none.
const Route* match_route(const std::map<std::string, Route>& routes, const std::string& path);

// True when `routes` holds an any-request resource (CONNECT to a host then gets 501).
bool has_any_request(const std::map<std::string, Route>& routes);

// What an any-request resource answers `method` with, before anything else: 0 to go
// on, 501 for CONNECT or a request with an Upgrade header, 405 for other methods.
unsigned any_request_verdict(const std::string& method, const RequestHeaders& headers);

// True when the raw request-target's path, percent-decoded, has a NUL byte or a "." or
// ".." segment: such a path leaves the resource once a client or server downstream
// normalises it, so an any-request resource refuses it (400).
bool escapes_resource(const std::string& raw_target);

}  // namespace qel::scs
