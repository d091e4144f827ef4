#pragma once

#include <cstdint>
#include <string>

#include "core/platform/local_time.hpp"

namespace orvalix {

// How far the local calendar fields are ahead of the FILETIME's UTC time, in whole minutes
// (negative west of UTC). Read from the fields themselves, so the offset always agrees with
// the local time shown beside it.
int utcOffsetMinutes(const platform::LocalTimeFields& local, std::uint64_t fileTime);

// "2024-01-31T12:00:02.502+01:00": ISO 8601 with milliseconds and the UTC offset.
std::string isoTimeText(const platform::LocalTimeFields& local, int offsetMinutes);

// The FILETIME as local ISO 8601 time; empty when it has no local form.
std::string formatIsoTime(std::uint64_t fileTime);

}  // namespace orvalix
