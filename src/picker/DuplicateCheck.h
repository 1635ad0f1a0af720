#pragma once
// Finds the pictures added to a list that it already holds under another path (a copy in
// another folder, the card and its backup), by content (ContentKey.h): the sizes first, which
// the records already know, then the two ends of only those files whose size another shares,
// then the whole files when those agree.
//
// The files are read on a thread of its own; the window thread only hands over the records
// and later removes what was found, by item id (the list may have changed meanwhile).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Vantor {

class ImageData;

struct DuplicateCandidate {
    int32_t itemId = -1;
    std::shared_ptr<ImageData> record;
};

// Of `added` (in order), the items whose file has the content of one in `known` or of an
// earlier one of `added`. Reads files: never on the window thread.
std::vector<int32_t> FindDuplicates(const std::vector<DuplicateCandidate>& known,
                                    const std::vector<DuplicateCandidate>& added);

// Runs FindDuplicates on a thread of its own; when it finds any, posts `message` to window
// with lParam a std::vector<int32_t>* of their item ids, which the receiver then owns. False
// when no thread could be made (nothing is checked).
bool StartDuplicateCheck(HWND window, UINT message, std::vector<DuplicateCandidate> known,
                         std::vector<DuplicateCandidate> added);

}  // namespace Vantor
