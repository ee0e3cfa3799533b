#pragma once
// The one error the telemetry throws. Only the field encoders raise it (and
// only `data_invalid`); every other telemetry operation reports failure by its
// return value, so nothing thrown leaves the encoders' callers.

#include <cstdint>

enum class RekolError : std::uint8_t {
    empty = 0,
    parse = 1,
    data_invalid = 2,
};
