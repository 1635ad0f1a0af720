#pragma once
// Finds one byte string in data that arrives piece by piece, including where it straddles
// the seam between two pieces. The upload engine uses it to check the file's bytes against
// the multipart boundary while they are sent, one chunk at a time, instead of reading the
// whole file once more before the first byte goes out: the chunk is scanned just before the
// platform copies it, while it is in the processor's cache.
//
//   StreamSearch search(boundary);
//   search.feed(piece, n);      // true once the string has appeared in what was fed
//
// Cost: the string's length minus one byte kept from each piece.
#include <cstddef>
#include <functional>
#include <string>

namespace Vantor {

class StreamSearch {
public:
    explicit StreamSearch(std::string needle);

    bool feed(const void* data, size_t length);

private:
    const std::string needle_;
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher_;
    std::string carry_;  // the last bytes fed, fewer than the needle's length
    bool found_ = false;
};

}  // namespace Vantor
