#include "support/heard_events.h"

#include <string>

#include "fs/paths.h"
#include "platform/services.h"

namespace qs {

void HeardEvents::SourceStarted(int i, int n, const Text& path) {
    started.push_back("(" + std::to_string(i) + "/" + std::to_string(n) + ")" + PathFileName(path));
}

void HeardEvents::Pump() {
    Ui().ProcessPendingEvents();
}

TextList HeardEvents::FailureLines() const {
    TextList lines;
    for (const JobFailure& failure : failures) {
        lines.push_back(FailureLabel(failure.kind) + failure.path);
    }
    return lines;
}

}  // namespace qs
