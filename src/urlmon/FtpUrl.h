// Whether a text is a URL of the FTP service. Only that answer counts: the client is started
// without the URL, so the parts are checked and then dropped.
//
// The rules, applied to the whole text (nothing is trimmed here):
//
// - The text is valid UTF-8 and holds no control character (below 0x20, or 0x7F), no space
//   and no U+FFFD (the mark left where something that was not text got converted to text).
// - It starts with the scheme "ftp", in any case, and "://". "ftp:/host", "ftp:host",
//   "http://...", "https://...", "mailto:x" and every other scheme are not FTP.
// - The authority runs from there to the first "/", "?" or "#", or to the end of the text.
// - If the authority holds "@", the part before its last "@" is the user information: a user
//   name, optionally followed by ":" and a password (which may hold further ":"). The user name
//   must not be empty ("ftp://@host", "ftp://:pw@host" are refused); the password may be.
// - Then comes the host, optionally followed by ":" and a port.
//   - The host is an IPv6 literal in brackets ("[::1]", "[2001:db8::7]", "[::ffff:1.2.3.4]";
//     no zone identifier, no "IPvFuture") or a name. A name may carry escapes; decoded, it is
//     made of ASCII letters, digits, "-", ".", "_", "~" and non-ASCII characters (international
//     names), with at least one letter, digit or non-ASCII character. An empty host is not a
//     URL ("ftp://", "ftp://:21/x", "ftp://user@/").
//   - The port is decimal digits, 1 to 65535, leading zeros allowed. An empty port
//     ("ftp://host:/") means the default one. Port 0 and anything above 65535 are refused.
// - Every "%" anywhere starts an escape of exactly two hexadecimal digits ("%zz" and a "%" near
//   the end are refused). An escape must not decode to a control character ("%00", "%0A",
//   "%7F" are refused): no FTP command could carry one. Any other byte is accepted in the user
//   name, the password and the path, also bytes that are not UTF-8 (older servers' file names
//   such as "caf%E9"); in a host name the decoded bytes must form UTF-8.
// - Path, query and fragment are not checked further.
#pragma once

#include <string_view>

bool IsFtpUrl(std::string_view text);
