#include "picker/DuplicateCheck.h"

#include "Biz/ContentKey.h"
#include "Biz/ImageData.h"
#include "platform/ModuleThread.h"

#include <map>

namespace Vantor {

std::vector<int32_t> FindDuplicates(const std::vector<DuplicateCandidate>& known,
                                    const std::vector<DuplicateCandidate>& added)
{
    // Files by size; each file's key is read only once another of its size turns up.
    struct Seen {
        const DuplicateCandidate* candidate;
        ContentKey key;
        bool keyRead = false;
    };
    std::map<uint64_t, std::vector<Seen>> bySize;
    const auto keyOf = [](Seen& seen) -> const ContentKey& {
        if (!seen.keyRead) {
            seen.key = ReadContentKey(seen.candidate->record->path());
            seen.keyRead = true;
        }
        return seen.key;
    };
    for (const DuplicateCandidate& candidate : known)
        if (candidate.record && candidate.record->fileSize() > 0)
            bySize[candidate.record->fileSize()].push_back({&candidate});

    std::vector<int32_t> duplicates;
    for (const DuplicateCandidate& candidate : added) {
        if (!candidate.record || candidate.record->fileSize() == 0)
            continue;
        std::vector<Seen>& peers = bySize[candidate.record->fileSize()];
        Seen mine{&candidate};
        bool duplicate = false;
        for (Seen& peer : peers) {
            if (peer.candidate->record->path() == candidate.record->path())
                continue;
            if (keyOf(mine) == keyOf(peer) &&
                SameContent(candidate.record->path(), peer.candidate->record->path())) {
                duplicate = true;
                break;
            }
        }
        if (duplicate)
            duplicates.push_back(candidate.itemId);
        else
            peers.push_back(mine);
    }
    return duplicates;
}

bool StartDuplicateCheck(WindowTasks::Poster window, DuplicatesFound found, std::vector<DuplicateCandidate> known,
                         std::vector<DuplicateCandidate> added)
{
    return StartModuleThread([window = std::move(window), found = std::move(found), known = std::move(known),
                              added = std::move(added)] {
        std::vector<int32_t> ids = FindDuplicates(known, added);
        if (ids.empty())
            return;
        // A list gone meanwhile takes nothing.
        window.Post([found, ids = std::move(ids)] { found(ids); });
    });
}

}  // namespace Vantor
