#include "Biz/MimeTable.h"

#include <windows.h>
#include <shlwapi.h>

#include <map>

namespace Vantor {
namespace {

const std::map<std::string_view, std::string_view>& Table()
{
    static const std::map<std::string_view, std::string_view> table = [] {
        std::map<std::string_view, std::string_view> t;
        const auto add = [&t](std::string_view type, std::initializer_list<std::string_view> extensions) {
            for (const auto extension : extensions)
                t.emplace(extension, type);
        };
        add("image/jpeg", {".jfif", ".jpe", ".jpg", ".jpeg"});
        add("image/png", {".png"});
        add("image/webp", {".webp"});
        add("image/heic", {".heic"});
        add("image/heif", {".heif"});
        add("image/avif", {".avif"});
        add("image/gif", {".gif"});
        add("image/tiff", {".tif", ".tiff"});
        add("application/x-bmp", {".bmp"});
        add("application/vnd.wap.wbmp", {".wbmp"});
        add("image/x-icon", {".ico"});
        add("image/fax", {".fax"});
        add("image/vnd.rn-realpix", {".rp"});
        add("image/pnetvue", {".net"});
        add("text/xml", {".wsdl", ".xdr", ".xml", ".xq", ".xql", ".xquery", ".xsd", ".xsl", ".xslt", ".vxml", ".tsd"});
        add("text/html", {".xhtml", ".jsp", ".html", ".htm"});
        add("text/vnd.wap.wml", {".wml"});
        add("text/scriptlet", {".wsc"});
        add("text/css", {".css"});
        add("text/asp", {".asp"});
        add("text/plain", {".txt"});
        add("text/x-javascript", {".js"});
        add("audio/mp1", {".mp1"});
        add("audio/mp2", {".mp2"});
        add("audio/mp3", {".mp3"});
        add("video/mpeg4", {".mp4"});
        add("video/mpg", {".mpeg"});
        add("video/n-mpeg", {".mpga"});
        add("video/x-mpeg", {".m2v"});
        add("video/mid", {".mi", ".mid", ".midi"});
        add("video/x-pn-realaudio", {".mm", ".ram"});
        add("video/x-pn-realaudio-plugin", {".rpm"});
        add("video/vnd.rn-realaudio", {".ra"});
        add("video/x-musicnet-download", {".mnd"});
        add("video/x-musicnet-stream", {".mns"});
        add("video/x-liquid-file", {".la1"});
        add("video/x-liquid-secure", {".lavs"});
        add("video/x-la-lms", {".lmsff"});
        add("video/scpls", {".pls"});
        add("video/basic", {".snd"});
        add("video/wav", {".wav"});
        add("video/x-ms-wax", {".wax"});
        add("video/x-ms-wma", {".wam"});
        add("video/mpegurl", {".m3u"});
        return t;
    }();
    return table;
}

}  // namespace

std::string MimeTypeOf(const std::string& fileName)
{
    const std::string_view extension = PathFindExtensionA(fileName.c_str());
    const auto found = Table().find(extension);
    return std::string(found != Table().end() ? found->second : "application/octet-stream");
}

}  // namespace Vantor
