#pragma once
// Which failures are worth another try, and how long to wait before it.
//
// Transient: no connection (refused), a connection that broke, the stall watchdog's
// time-out, and the statuses 408, 429, 500, 502, 503 and 504. Never anything else, and never
// a reply that was judged: a 2xx whose "success" is not 1 is the server's answer about the
// file. The page's delays (milliseconds, one per further try) say how many tries follow the
// first and how far apart; an empty list turns retries off. A 429 or 503 whose Retry-After
// (seconds, or an HTTP date) asks for a wait gets that wait instead, at most kMaxRetryAfter.
#include "Biz/UploadFailure.h"
#include "Biz/UploadPost.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace Vantor {

inline constexpr std::chrono::milliseconds kMaxRetryAfter{60000};

// The reason for an outcome without success (None when it succeeded), and whether a retry
// may help. now: the current UTC time, for a Retry-After given as a date.
UploadFailure ClassifyOutcome(const UploadOutcome& outcome, const FILETIME& now);
UploadFailure ClassifyOutcome(const UploadOutcome& outcome);  // at the system's time

// A Retry-After value as a wait: whole seconds, or an HTTP date (a date in the past is no
// wait); capped at kMaxRetryAfter. Nothing for a value that is neither.
std::optional<std::chrono::milliseconds> ParseRetryAfter(std::string_view value, const FILETIME& now);

// The wait before the next try of a file that has been tried `tries` times and failed so, or
// nothing when it gets no further try.
std::optional<std::chrono::milliseconds> NextRetryDelay(const UploadFailure& failure, size_t tries,
                                                         const std::vector<int>& delaysMs);

}  // namespace Vantor
