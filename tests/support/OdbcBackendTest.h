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

#include <ostream>
#include <string>

#include "support/OdbcSandbox.h"

namespace testsupport {

// Test lists show the parameter by name.
inline void PrintTo(OdbcBackend backend, std::ostream* out) {
  *out << OdbcBackendName(backend);
}

inline std::string OdbcBackendTestName(const ::testing::TestParamInfo<OdbcBackend>& info) {
  return OdbcBackendName(info.param);
}

}  // namespace testsupport

#define TESSERY_INSTANTIATE_FOR_EVERY_BACKEND(suite)                                                 \
  INSTANTIATE_TEST_SUITE_P(                                                                          \
      , suite,                                                                                       \
      ::testing::Values(::testsupport::OdbcBackend::SQLite, ::testsupport::OdbcBackend::PostgreSQL), \
      ::testsupport::OdbcBackendTestName)

// For SetUp or a test body (it returns from the function).
#define TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(backend)                                  \
  do {                                                                                  \
    const std::string tesseryWhyNot = ::testsupport::OdbcSandbox::Unavailable(backend); \
    if (!tesseryWhyNot.empty()) {                                                       \
      if (::testsupport::PostgresCluster::Required())                                   \
        FAIL() << tesseryWhyNot << " (TESSERY_REQUIRE_POSTGRES=1)";                     \
      else                                                                              \
        GTEST_SKIP() << tesseryWhyNot;                                                  \
    }                                                                                   \
  } while (false)
