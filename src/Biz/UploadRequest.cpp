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

std::string NewBoundary()
{
    return std::string(27, '-') + NewUuidHex();
}

std::string ChooseBoundary(const std::vector<std::string_view>& contents, const std::function<std::string()>& candidate)
{
    for (;;) {
        std::string boundary = candidate();
        const bool clash = std::any_of(contents.begin(), contents.end(),
                                       [&boundary](std::string_view c) { return Contains(c, boundary); });
        if (!clash)
            return boundary;
    }
}

bool BuildUploadRequest(const UploadForm& form, UploadRequest& request, BoundaryCheck check)
{
    const std::string width = std::to_string(form.width);
    const std::string height = std::to_string(form.height);
    std::vector<std::string_view> contents = {form.id, width, height, form.remark, form.fileFieldName, form.fileName};
    if (check == BoundaryCheck::Now)
        contents.emplace_back(static_cast<const char*>(form.data), form.data ? form.length : 0);
    for (const auto& [name, value] : form.fields) {
        contents.push_back(name);
        contents.push_back(value);
    }
    request.boundary = ChooseBoundary(contents);

    HttpHeader header(request.boundary);
    header.set("Cookie", form.cookie);
    header.set("Connection", "Close");
    request.headerText = header.text();

    request.head = MemFile();
    request.tail = MemFile();
    request.data = form.data;
    request.length = form.data ? form.length : 0;

    MultipartWriter head(request.head, request.boundary);
    bool ok = head.writeField("id", form.id) && head.writeNumberField("width", form.width) &&
              head.writeNumberField("height", form.height) && head.writeField("remark", form.remark);
    if (form.index >= 0)
        ok = ok && head.writeNumberField("index", form.index);
    for (auto field = form.fields.begin(); ok && field != form.fields.end(); ++field)
        ok = head.writeField(field->first, field->second);
    ok = ok && head.writeFileHeader(form.fileName, form.fileFieldName, form.mimeType.empty() ? MimeTypeOf(form.fileName) : form.mimeType);
    MultipartWriter tail(request.tail, request.boundary);
    ok = ok && tail.writeFileEnd() && tail.writeEnd();
    return ok && request.head.size() >= 0 && request.tail.size() >= 0 && request.size() < 0x7FFFFFFFu;
}

std::vector<HttpRequest::BodyPart> UploadRequest::parts() const
{
    return {{head.buffer(), static_cast<uint32_t>(std::max(head.size(), 0))},
            {static_cast<const uint8_t*>(data), static_cast<uint32_t>(length)},
            {tail.buffer(), static_cast<uint32_t>(std::max(tail.size(), 0))}};
}

uint64_t UploadRequest::size() const
{
    return uint64_t(std::max(head.size(), 0)) + length + uint64_t(std::max(tail.size(), 0));
}

std::string UploadRequest::bodyText() const
{
    std::string body;
    for (const auto& part : parts())
        body.append(reinterpret_cast<const char*>(part.data), part.length);
    return body;
}

}  // namespace Vantor
