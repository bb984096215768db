#pragma once

#include "capture/FrameTap.h"

#include <memory>
#include <utility>
#include <vector>

// Several taps as one: each frame goes to every one of them, in order.
class FrameTaps : public FrameTap {
public:
    explicit FrameTaps(std::vector<std::shared_ptr<FrameTap>> taps) : taps_(std::move(taps)) {}

    void offer(GstSample *sample, qint64 captureMicros) override
    {
        for (const auto &tap : taps_)
            tap->offer(sample, captureMicros);
    }

private:
    std::vector<std::shared_ptr<FrameTap>> taps_;
};
