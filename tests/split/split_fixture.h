#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "job/job_events.h"
#include "job/job_request.h"
#include "platform/services.h"
#include "split/split_modes.h"
#include "split/split_state.h"
#include "support/heard_events.h"
#include "support/quiet_ui.h"
#include "support/temp_folder.h"

namespace qs {

// The split engine alone: a request as the command line fills one, read as it stands at
// every read (so a test may change it between reads, or at a pump), a quiet desktop, and a
// temporary folder for the pieces. Nothing of the window is built.
class SplitFixture : public ::testing::Test {
protected:
    // A request that is read as it stands now.
    struct LiveRequest : SplitRequestSource {
        const SplitRequest& Read() override { return request; }
        SplitRequest request;
    };

    SplitFixture() : m_override(Platform{nullptr, nullptr, nullptr, &ui}) {
        // The pieces go beside their source, which is in temp.
        Params().mode = std::monostate{};
        Params().subfolder = false;
    }

    SplitParams& Params() { return requests.request.params; }
    void SetMode(SplitModeParams mode) { Params().mode = std::move(mode); }

public:
    enum class Mode { Lines, Chars, Separator };

protected:
    // One of the three text modes, with pieces of min to max lines or characters.
    static SplitModeParams ModeOf(Mode mode, std::int32_t min, std::int32_t max,
                                  const Text& separator) {
        switch (mode) {
            case Mode::Lines:
                return SplitByLinesParams{min, max};
            case Mode::Chars:
                return SplitByCharsParams{min, max};
            case Mode::Separator:
                break;
        }
        return SplitAtSeparatorParams{separator};
    }

    ModeResult RunMode(SplitContext& ctx, SplitModeParams mode, const Text& path) {
        SetMode(std::move(mode));
        return RunSplitMode(ctx, path);
    }

    SplitContext& Context() {
        m_ctx =
            std::make_unique<SplitContext>(SplitContext{requests, events, temp.Path() + "/", {}});
        return *m_ctx;
    }

    QuietUi ui;
    ServicesOverride m_override;
    TempFolder temp;
    LiveRequest requests;
    HeardEvents events;
    std::unique_ptr<SplitContext> m_ctx;
};

}  // namespace qs
