#include "Biz/UploadName.h"

#include "platform/TextConv.h"

#include <cryptopp/crc.h>
#include <cryptopp/md5.h>

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <windows.h>

#include <algorithm>

namespace Vantor {
namespace {

// The digest bytes in order, as lower-case hex. (Crypto++'s filter chain is not part of the
// subset the project builds, so the hex is written here.)
template <typename Hash>
std::string DigestHex(const void* data, size_t length)
{
    static constexpr char kHex[] = "0123456789abcdef";
    Hash hash;
    CryptoPP::byte digest[Hash::DIGESTSIZE];
    hash.CalculateDigest(digest, static_cast<const CryptoPP::byte*>(data), length);
    std::string out;
    for (const CryptoPP::byte b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string WithoutHyphens(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
    return text;
}

}  // namespace

bool IsUtf8EncodeType(std::wstring_view encodeType)
{
    return CompareStringOrdinal(encodeType.data(), static_cast<int>(encodeType.size()), L"utf-8", -1, TRUE) ==
           CSTR_EQUAL;
}

std::string UrlEncode(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            out += c;
        } else if (b == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

std::string ConvertText(std::wstring_view text, bool utf8)
{
    return utf8 ? Utf16ToUtf8(text) : Utf16ToAnsi(text);
}

std::string EncodeText(std::wstring_view text, bool utf8)
{
    return utf8 ? UrlEncode(Utf16ToUtf8(text)) : Utf16ToAnsi(text);
}

std::string Crc32Hex(const void* data, size_t length)
{
    // Crypto++ gives the CRC's bytes lowest first, which is the order the name uses.
    return DigestHex<CryptoPP::CRC32>(data, length);
}

std::string Md5Hex(const void* data, size_t length)
{
    return DigestHex<CryptoPP::Weak::MD5>(data, length);
}

std::string NewUuidHex()
{
    thread_local boost::uuids::random_generator generator;
    return WithoutHyphens(boost::uuids::to_string(generator()));
}

std::string UploadFileName(std::wstring_view name, std::wstring_view extension, std::string_view fileNameGen,
                           bool utf8, const void* data, size_t length)
{
    std::string result;
    if (fileNameGen == "guid") {
        thread_local boost::uuids::random_generator generator;
        result = WithoutHyphens(boost::uuids::to_string(generator()) + Utf16ToUtf8(extension));
    } else if (fileNameGen == "crc") {
        result = Crc32Hex(data, length) + Utf16ToUtf8(extension);
    } else if (fileNameGen == "md5") {
        result = Md5Hex(data, length) + Utf16ToUtf8(extension);
    } else {
        result = ConvertText(name, utf8);
    }
    return utf8 ? UrlEncode(result) : result;
}

}  // namespace Vantor
