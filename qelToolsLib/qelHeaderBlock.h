// qelHeaderBlock: HTTP headers as one opaque header value, for the tunnel's extension
// that carries any request. A block is the standard base64 (RFC 4648, padded, no line
// breaks) of lines "Name: value\r\n", one per header, in order, so names, values,
// repeats and their order cross any number of HTTP hops exactly.
//
// Also here: which headers are end-to-end (travel through the tunnel) and which belong
// to one hop (connection management, framing, Host, the tunnel's own X-QEL-* headers).
// Plain functions; any thread.
#ifndef QEL_TOOLSLIB_QELHEADERBLOCK_H
#define QEL_TOOLSLIB_QELHEADERBLOCK_H

#include <string>
#include <utility>
#include <vector>

namespace qelToolsLib {

using HeaderLines = std::vector<std::pair<std::string, std::string>>;

// The block for `headers`; every name must be an HTTP token and every value free of
// CR, LF and NUL (CheckHeaderLine says so), else the result is empty and `error` says why.
std::string EncodeHeaderBlock(const HeaderLines& headers, std::string& error);

// The headers of `block`, in order; false with `error` for anything that is not a block
// of valid header lines.
bool DecodeHeaderBlock(const std::string& block, HeaderLines& headers, std::string& error);

// Plain lines "Name: value\r\n" (as a server hands them out) as header lines; blanks after
// the colon are skipped, a line without a colon is left out.
HeaderLines ParseHeaderLines(const std::string& lines);

// True when `name: value` may be sent as an HTTP header line.
bool CheckHeaderLine(const std::string& name, const std::string& value);

// The headers of `headers` that travel end to end: hop-by-hop headers (those of RFC 9110
// 7.6.1, Proxy-Connection, and every name a Connection header lists), Host, the framing
// headers, Content-Type (carried on its own), the tunnel's X-QEL-* headers and, for a
// response, Date and Server (the sending HTTP server sets its own) are left out.
HeaderLines EndToEndHeaders(const HeaderLines& headers, bool response);

}  // namespace qelToolsLib

#endif  // QEL_TOOLSLIB_QELHEADERBLOCK_H
