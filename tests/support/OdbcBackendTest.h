// Test suites that run once per ODBC backend: a value-parameterised suite whose parameter is the
// OdbcBackend, with test names ending /SQLite and /PostgreSQL.
//
//   class OrdersTest : public ::testing::TestWithParam<testsupport::OdbcBackend> {
//     void SetUp() override {
//       TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam());
//       dsn_ = sandbox_.NewDsnName("Orders");
//       sandbox_.AddDsn(GetParam(), dsn_);
//     }
//   };
//   TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(OrdersTest);
//
// A backend that cannot be used here (PostgreSQL not installed, its server not starting) skips the
// test with the reason; with TESSERY_REQUIRE_POSTGRES=1 (as scripts/test sets it) it fails instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "support/OdbcSandbox.h"

namespace testsupport {

// Test lists show the parameter by name.
inline void PrintTo(OdbcBackend backend, std::ostream* out) { *out << OdbcBackendName(backend); }

inline std::string OdbcBackendTestName(const ::testing::TestParamInfo<OdbcBackend>& info) {
  return OdbcBackendName(info.param);
}

// The PostgreSQL driver sets the process's LC_CTYPE and back with setlocale while it connects. glibc
// serialises setlocale with an internal lock ThreadSanitizer does not see, so connects on several
// threads show as a race on the locale's name; these suppressions leave that out. Test programs get
// them through the hook below; child processes through TSAN_OPTIONS (see
// TsanSuppressionsForChildren).
inline constexpr const char* kOdbcDriverTsanSuppressions = "race:setlocale\n";

// Under ThreadSanitizer: writes the suppressions to `folder` and adds them to TSAN_OPTIONS, which
// child processes started afterwards inherit. Does nothing in other builds.
inline void TsanSuppressionsForChildren([[maybe_unused]] const std::filesystem::path& folder) {
#if defined(__SANITIZE_THREAD__)
  const std::filesystem::path file = folder / "tsan-suppressions.txt";
  std::ofstream(file, std::ios::trunc) << kOdbcDriverTsanSuppressions;
  const char* options = std::getenv("TSAN_OPTIONS");
  const std::string joined = (options && *options ? std::string(options) + ":" : std::string()) +
                             "suppressions=" + file.string();
  ::setenv("TSAN_OPTIONS", joined.c_str(), 1);
#endif
}

}  // namespace testsupport

#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((weak, used)) const char* __tsan_default_suppressions() {
  return testsupport::kOdbcDriverTsanSuppressions;
}
#endif

#define TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(suite)                                                      \
  INSTANTIATE_TEST_SUITE_P(, suite,                                                                       \
                           ::testing::Values(::testsupport::OdbcBackend::SQLite,                          \
                                             ::testsupport::OdbcBackend::PostgreSQL),                     \
                           ::testsupport::OdbcBackendTestName)

// For SetUp or a test body (it returns from the function).
#define TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(backend)                                                    \
  do {                                                                                                    \
    const std::string tesseryWhyNot = ::testsupport::OdbcSandbox::Unavailable(backend);                  \
    if (!tesseryWhyNot.empty()) {                                                                         \
      if (::testsupport::PostgresCluster::Required())                                                     \
        FAIL() << tesseryWhyNot << " (TESSERY_REQUIRE_POSTGRES=1)";                                       \
      else                                                                                                \
        GTEST_SKIP() << tesseryWhyNot;                                                                    \
    }                                                                                                     \
  } while (false)
