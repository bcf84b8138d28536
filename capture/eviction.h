// SPDX-License-Identifier: GPL-3.0-or-later
// Which connection a listener at its bound gives up for a new one. A request
// is worth more the further it has come: a connection that has sent nothing
// goes first, then one whose head is still incomplete, then one whose head is
// complete but not a "POST"; a "POST" whose head is in, and whose body may be
// on its way, goes last. Within a stage the connection accepted first goes
// first. Pure functions; the listener keeps the connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "capture/request_head.h"

namespace postori {

// How far a connection's request has come, in the order in which connections
// are given up.
enum class RequestStage : std::uint8_t {
    Silent,          // nothing received
    HeadIncomplete,  // bytes received, no complete head yet
    HeadNotPost,     // a complete head of any method but "POST"
    PostHead,        // a complete "POST" head
};

// The stage of a connection that has received `received` bytes, and whose
// head, once `head_parsed`, has `method`.
[[nodiscard]] RequestStage request_stage(std::int32_t received, bool head_parsed, RequestMethod method);

// The index of the connection to close among `stages`, the stages of the
// connections held in the order they were accepted: the first of the lowest
// stage. `stages` must not be empty.
//
// Accepted first, not idle longest: activity is what a hostile peer fakes
// most cheaply (a byte now and then), while a real request often rests (a
// "POST" head whose body follows later, a spare connection waiting for its
// request); by age of acceptance every connection outlives at least the
// connections of its stage that came after it, however they drip.
[[nodiscard]] std::size_t connection_to_evict(std::span<const RequestStage> stages);

}  // namespace postori
