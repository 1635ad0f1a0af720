// The list as the source of item drags.
#include "picker/ListView.h"

namespace Vantor {

void ListView::OnItemDragPrepared(int32_t id) { drager_.Prepare(MakeItemDragData(dragCookie_, id)); }

void ListView::OnItemDragRun(int32_t id)
{
    // The press prepared this very item; anything else (a removal in between) runs nothing.
    if (!drager_.IsArmed() || !FindById(id)) {
        drager_.Cancel();
        return;
    }
    // The drop lands in the system's drag loop; the list's drop target moves the item there.
    drager_.Run();
}

}  // namespace Vantor
