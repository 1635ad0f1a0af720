#include "Biz/StreamSearch.h"

#include <algorithm>
#include <string_view>

namespace Vantor {

StreamSearch::StreamSearch(std::string needle) : needle_(std::move(needle)), searcher_(needle_.begin(), needle_.end()) {}

bool StreamSearch::feed(const void* data, size_t length)
{
    if (found_ || needle_.empty())
        return found_ = true;
    const std::string_view piece(static_cast<const char*>(data), length);
    const size_t keep = needle_.size() - 1;

    // Across the seam: the carried tail with the start of this piece.
    if (!carry_.empty()) {
        std::string seam = carry_;
        seam.append(piece.substr(0, keep));
        if (seam.find(needle_) != std::string::npos)
            return found_ = true;
    }
    if (piece.size() >= needle_.size()) {
        if (std::search(piece.begin(), piece.end(), searcher_) != piece.end())
            return found_ = true;
    }

    // Keep the last keep bytes of everything fed so far.
    if (piece.size() >= keep) {
        carry_.assign(piece.substr(piece.size() - keep));
    } else {
        carry_.append(piece);
        if (carry_.size() > keep)
            carry_.erase(0, carry_.size() - keep);
    }
    return false;
}

}  // namespace Vantor
