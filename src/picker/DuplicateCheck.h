#pragma once
// Finds the pictures added to a list that it already holds under another path (a copy in
// another folder, the card and its backup), by content (ContentKey.h): the sizes first, which
// the records already know, then the two ends of only those files whose size another shares,
// then the whole files when those agree.
//
// The files are read on a thread of its own; the window thread only hands over the records
// and later removes what was found, by item id (the list may have changed meanwhile).
#include "platform/WindowTasks.h"

#include <cstdint>
#include <functional>
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

// Runs FindDuplicates on a thread of its own; when it finds any, `found` gets their item ids
// as work on the list's window thread. False when no thread could be made (nothing is
// checked).
using DuplicatesFound = std::function<void(const std::vector<int32_t>& itemIds)>;
bool StartDuplicateCheck(WindowTasks::Poster window, DuplicatesFound found, std::vector<DuplicateCandidate> known,
                         std::vector<DuplicateCandidate> added);

}  // namespace Vantor
