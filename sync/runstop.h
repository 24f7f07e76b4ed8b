#pragma once
// The stop check of a run: consulted once per object, before the object is begun, so that a run
// asked to stop (the program is ending) ends between two objects. What the run did stays done and
// logged; the rest is not begun.
#include "data/errors.h"
#include "sync/processview.h"

namespace vistrel::sync {

// Ends the run with a silent abort when the view asks for a stop.
inline void stopIfRequested(const ProcessView& view) {
    if (view.stopRequested())
        throw data::EAbort();
}

} // namespace vistrel::sync
