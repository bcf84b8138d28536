// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/eviction.h"

namespace postori {

RequestStage request_stage(std::int32_t received, bool head_parsed, RequestMethod method) {
    if (head_parsed) {
        return method == RequestMethod::Post ? RequestStage::PostHead : RequestStage::HeadNotPost;
    }
    return received > 0 ? RequestStage::HeadIncomplete : RequestStage::Silent;
}

std::size_t connection_to_evict(std::span<const RequestStage> stages) {
    std::size_t chosen = 0;
    for (std::size_t k = 1; k < stages.size(); ++k) {
        if (stages[k] < stages[chosen]) {
            chosen = k;
        }
    }
    return chosen;
}

}  // namespace postori
