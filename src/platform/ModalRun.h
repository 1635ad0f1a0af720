#pragma once
// Modal windows that a COM object runs, and what happens when its container closes the
// object during one.
//
// A modal window runs a message loop inside the object's own code (a click handler, an
// item's button): a page that removes the control meanwhile lets go of it, and when the loop
// returns, that code would go on in freed memory. So every modal run holds a reference on
// the object for its length (ModalRun), and the object's closing (CloseAll) ends the modal
// dialogs its runs opened, innermost first. The run's reference is given back from the
// thread's message loop once the handler has returned (ReleaseLater), so the object is never
// destroyed under its own frames.
#include <objbase.h>

#include <cstddef>

namespace Vantor {

class ModalRuns {
public:
    // `owner` is the object the runs keep alive (not owned).
    explicit ModalRuns(IUnknown* owner) : owner_(owner) {}
    ModalRuns(const ModalRuns&) = delete;
    ModalRuns& operator=(const ModalRuns&) = delete;

    // Ends every modal dialog still running that a run of this object opened.
    void CloseAll();
    bool Running() const { return running_ > 0; }

private:
    friend class ModalRun;
    IUnknown* const owner_;
    int running_ = 0;
    std::size_t firstDialog_ = 0;  // of the outermost run, in the thread's open dialogs
};

// The scope of one modal run (construct it before DoModal).
class ModalRun {
public:
    explicit ModalRun(ModalRuns& runs);
    ~ModalRun();
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

private:
    ModalRuns& runs_;
};

// Releases the object from the calling thread's message loop, after whatever runs now has
// returned; at once when no message can be posted.
void ReleaseLater(IUnknown* object);

}  // namespace Vantor
