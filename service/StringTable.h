// The service's string table: the fixed English texts it shows and reports.
#pragma once

#include <string>

namespace tillmoor {

inline constexpr int kIdsServiceName = 100;
inline constexpr int kIdsCreateInstanceFailed = 101;
inline constexpr int kIdsRunNotSupported = 102;
inline constexpr int kIdsRunFailed = 103;
inline constexpr int kIdsIntervalTooLarge = 104;
inline constexpr int kIdsIntervalTooSmall = 105;
inline constexpr int kIdsShortName = 106;

// The text of string `id`; "" for an id the table does not hold.
std::string LoadServiceString(int id);

}  // namespace tillmoor
