// How the engine tells a front end about a run. The GUI turns these into
// window messages; the command-line tool and the tests observe them directly.
#pragma once

namespace zd {

class WipeNotifier {
public:
    virtual ~WipeNotifier() = default;
    // The sectors done of the wipe progress have changed.
    virtual void WipeProgress() = 0;
    // A pass has started or completed; the selection's passes done is current.
    virtual void PassCompleted() = 0;
};

} // namespace zd
