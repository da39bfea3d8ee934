// What libmicrohttpd says, and the one case where what it says is our cue to act.
//
// Its messages go through the daemon's CountedLog: a client that hangs up or sends a
// malformed request is routine (INFO), anything else a WARNING; the first of a kind is
// written at once, the repeats as one count per interval.
//
// libmicrohttpd 0.9.75 answers a malformed or too large Content-Length (and an HTTP/1.1
// request without Host) twice: the error answer's status line and headers are built
// into the output buffer, then its state machine goes on as if the headers were fine
// and builds them again before the body, so the client reads two header blocks. No
// callback of ours runs between the two, but its message naming the fault comes first,
// on the connection's own thread: there the library writes the one answer itself and
// ends the sending side, so the doubled bytes it queues later go nowhere.
//
// Its answer to headers over its per-connection memory (431) comes once but as an HTML
// page the metrics do not see: the library answers that one itself as well.
//
// note_request_line() runs on a connection's thread (libmicrohttpd's URI log callback)
// and tells the messages that follow on that thread which connection they are about.
// Only a daemon with a thread per connection acts on them: a worker of a pool serves
// many connections, and what it noted last may belong to another one.
#pragma once

#include <microhttpd.h>

#include <cstdarg>

namespace qel::scs {

class HttpDaemon;

void note_request_line(HttpDaemon& daemon, MHD_Connection* connection);
// libmicrohttpd's external logger; `side` is the DaemonSide of the daemon that logs.
void mhd_message(void* side, const char* format, va_list args) noexcept;
// True on a connection's thread after the library answered its request directly.
bool answered_directly();
void set_answered_directly();

}  // namespace qel::scs
