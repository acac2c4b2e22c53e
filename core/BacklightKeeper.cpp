#include "core/BacklightKeeper.h"

namespace movira {

void BacklightKeeper::onFix(bool alwaysOn) {
    if (!alwaysOn) {
        release();
        return;
    }
    screen_.resetIdleTimer();
    // A refused request is asked for again at the next fix.
    if (!request_) request_ = screen_.request();
}

void BacklightKeeper::release() {
    if (request_ && screen_.release(*request_)) request_.reset();
}

}  // namespace movira
