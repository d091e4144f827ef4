#include "core/platform/local_time.hpp"

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {

std::optional<LocalTimeFields> toLocalTime(std::uint64_t fileTime) {
    FILETIME utc{};
    utc.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFU);
    utc.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    FILETIME local{};
    SYSTEMTIME fields{};
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &fields)) {
        return std::nullopt;
    }
    LocalTimeFields result;
    result.year = fields.wYear;
    result.month = fields.wMonth;
    result.day = fields.wDay;
    result.hour = fields.wHour;
    result.minute = fields.wMinute;
    result.second = fields.wSecond;
    result.millisecond = fields.wMilliseconds;
    return result;
}

}  // namespace orvalix::platform
