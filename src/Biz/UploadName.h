#pragma once
// The name a picture is uploaded under and the byte encoding of the texts that travel with
// it (file name, remark). Free functions over bytes and strings, so that both the per-file
// record and the command-line poster can use them.
//
// Encoding: when the page's EncodeType is "utf-8" (any letter case) a text is converted to
// UTF-8 and then URL-encoded; otherwise it is converted to the system ANSI code page as is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vantor {

// True when encodeType selects UTF-8 with URL-encoding (compared ignoring letter case).
bool IsUtf8EncodeType(std::wstring_view encodeType);

// Every byte that is an ASCII letter or digit stays, a space becomes "+", every other byte
// becomes "%" and two upper-case hex digits. Dots, hyphens and UTF-8 bytes are encoded.
std::string UrlEncode(std::string_view bytes);

// The conversion step alone: UTF-8 when utf8, else the ANSI code page.
std::string ConvertText(std::wstring_view text, bool utf8);
// The whole rule: UTF-8 then URL-encoded when utf8, else the ANSI code page.
std::string EncodeText(std::wstring_view text, bool utf8);

// Digests of the bytes to be sent, in lower-case hex.
// CRC-32 (the zlib one) as its four bytes lowest first: "abc" gives "c2412435".
std::string Crc32Hex(const void* data, size_t length);
std::string Md5Hex(const void* data, size_t length);

// A random (version 4) UUID as 32 lower-case hex digits without hyphens.
std::string NewUuidHex();

// The upload file name of one picture.
//   name:        the file's own name ("Holiday.JPG")
//   extension:   its extension with the dot as it stands in the path (".JPG"), or empty
//   fileNameGen: "guid", "crc" or "md5" (exact case) generate a name from a random UUID or
//                the digest of the bytes sent, followed by the extension; anything else keeps
//                the file's own name
//   utf8:        IsUtf8EncodeType of the page's EncodeType; when true the result is
//                URL-encoded, dot included ("Holiday%2EJPG")
std::string UploadFileName(std::wstring_view name, std::wstring_view extension, std::string_view fileNameGen,
                           bool utf8, const void* data, size_t length);

}  // namespace Vantor
