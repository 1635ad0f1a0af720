#include "Biz/UploadRequest.h"

#include "Biz/HttpHeader.h"
#include "Biz/MimeTable.h"
#include "Biz/MultipartWriter.h"
#include "Biz/UploadName.h"

#include <algorithm>
#include <functional>

namespace Vantor {
namespace {

bool Contains(std::string_view haystack, std::string_view needle)
{
    if (haystack.size() < needle.size())
        return false;
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    return std::search(haystack.begin(), haystack.end(), searcher) != haystack.end();
}

}  // namespace

std::string ChooseBoundary(const std::vector<std::string_view>& contents)
{
    std::string boundary(HttpHeader::kBoundary);
    for (;;) {
        const bool clash = std::any_of(contents.begin(), contents.end(),
                                       [&boundary](std::string_view c) { return Contains(c, boundary); });
        if (!clash)
            return boundary;
        boundary = std::string(HttpHeader::kBoundary) + NewUuidHex();
    }
}

bool BuildUploadRequest(const UploadForm& form, UploadRequest& request)
{
    const std::string width = std::to_string(form.width);
    const std::string height = std::to_string(form.height);
    std::vector<std::string_view> contents = {form.id, width, height, form.remark, form.fileFieldName, form.fileName,
                                              std::string_view(static_cast<const char*>(form.data), form.data ? form.length : 0)};
    for (const auto& [name, value] : form.fields) {
        contents.push_back(name);
        contents.push_back(value);
    }
    request.boundary = ChooseBoundary(contents);

    HttpHeader header(request.boundary);
    header.set("Cookie", form.cookie);
    header.set("Connection", "Close");
    request.headerText = header.text();

    request.body = MemFile();
    MemFile& body = request.body;
    // One allocation for the whole body: the parts' text is small next to the file.
    uint64_t estimate = form.length + 1024 + form.id.size() + form.remark.size() + form.fileName.size();
    for (const auto& [name, value] : form.fields)
        estimate += name.size() + value.size() + 128;
    if (estimate < 0x7FFF0000u)
        body.reserve(static_cast<uint32_t>(estimate));

    MultipartWriter writer(body, request.boundary);
    bool ok = writer.writeField("id", form.id) && writer.writeNumberField("width", form.width) &&
              writer.writeNumberField("height", form.height) && writer.writeField("remark", form.remark);
    for (auto field = form.fields.begin(); ok && field != form.fields.end(); ++field)
        ok = writer.writeField(field->first, field->second);
    ok = ok && writer.writeFileField(form.fileName, form.data, form.data ? form.length : 0, form.fileFieldName,
                                     MimeTypeOf(form.fileName)) &&
         writer.writeEnd();
    return ok && body.size() >= 0;
}

}  // namespace Vantor
