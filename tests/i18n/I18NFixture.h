// The I18N database of a test process, once per ODBC backend: the data source "Vistelle" (the name
// the new-label dialog connects to) on an SQLite file of the ODBC sandbox or on a database of the
// process's PostgreSQL cluster, with the demo installation's tables, emptied before each test.
// CTest runs every test in a process of its own; the test program started by hand runs the tests of
// the first backend it meets and skips the others (filter with --gtest_filter='*PostgreSQL').
//
// Fixtures derived from I18NDatabaseTest do their own database set-up in SetUp, after
// I18NDatabaseTest::SetUp, and return when IsSkipped() (the backend is not available here).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "platform/Ado.h"
#include "support/OdbcBackendTest.h"
#include "support/OdbcSandbox.h"

namespace i18n::testing {

class I18NDatabaseTest : public ::testing::TestWithParam<testsupport::OdbcBackend> {
 protected:
  // The backend "Vistelle" names in this process: the first one a fixture asked for. On PostgreSQL
  // the new-label dialog's user "WWWappsVistelle" may read and write the tables, as an
  // application's login would.
  static std::optional<testsupport::OdbcBackend> DataSourceBackend(testsupport::OdbcBackend backend) {
    static std::optional<testsupport::OdbcBackend> made;  // fixtures are made on the test thread only
    if (made || !testsupport::OdbcSandbox::Unavailable(backend).empty()) return made;
    auto& sandbox = testsupport::OdbcSandbox::Instance();
    sandbox.AddDsn(backend, kDsn);
    made = backend;
    std::ifstream schema(TESSERY_I18N_SCHEMA);
    sandbox.Sql(kDsn, std::string(std::istreambuf_iterator<char>(schema), {}));
    if (backend == testsupport::OdbcBackend::PostgreSQL) {
      sandbox.Sql(kDsn,
                  "DO $$ BEGIN CREATE ROLE \"WWWappsVistelle\" LOGIN; EXCEPTION WHEN duplicate_object THEN "
                  "NULL; END $$; GRANT SELECT, INSERT, UPDATE, DELETE ON I18NFIELDNAMES, I18NFIELDVALUES, "
                  "I18NTEXT TO \"WWWappsVistelle\"");
    }
    return made;
  }

  void SetUp() override {
    TESSERY_SKIP_UNLESS_BACKEND_AVAILABLE(GetParam());
    if (backend_ != GetParam()) {
      GTEST_SKIP() << "the data source Vistelle names the other backend's database in this process "
                      "(connections do not follow a data source moved to another database); CTest runs "
                      "each test in a process of its own";
    }
    Sql("DELETE FROM I18NFIELDNAMES; DELETE FROM I18NFIELDVALUES; DELETE FROM I18NTEXT");
  }

  // Runs `sql` with the backend's own shell, apart from the code under test; rows as "a|b|c" lines.
  std::string Sql(const std::string& sql) const { return testsupport::OdbcSandbox::Instance().Sql(dsn, sql); }

  void Text(const std::string& label, const std::string& text, int locale = 1033) const {
    Sql("INSERT INTO I18NTEXT VALUES ('" + label + "', '" + text + "', " + std::to_string(locale) +
        ", '2020-01-01', 1)");
  }

  // Inserting the field value `value` fails from now on, until AcceptFieldValues.
  void RejectFieldValue(const std::string& value) const {
    if (GetParam() == testsupport::OdbcBackend::SQLite) {
      Sql("CREATE TRIGGER Rejected BEFORE INSERT ON I18NFIELDVALUES WHEN NEW.FIELDVALUE = '" + value +
          "' BEGIN SELECT RAISE(ABORT, 'rejected'); END");
    } else {
      Sql("ALTER TABLE I18NFIELDVALUES ADD CONSTRAINT Rejected CHECK (FIELDVALUE <> '" + value + "')");
    }
  }
  void AcceptFieldValues() const {
    Sql(GetParam() == testsupport::OdbcBackend::SQLite
            ? "DROP TRIGGER Rejected"
            : "ALTER TABLE I18NFIELDVALUES DROP CONSTRAINT Rejected");
  }

  static constexpr const char* kDsn = "Vistelle";
  const std::optional<testsupport::OdbcBackend> backend_ = DataSourceBackend(GetParam());
  const std::string dsn = kDsn;
  const std::string connectionString = "DSN=Vistelle";
  std::unique_ptr<platform::ado::DataAccess> access = platform::ado::OpenOdbcDataAccess();
};

}  // namespace i18n::testing
