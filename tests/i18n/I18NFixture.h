// The I18N database of a test process: the data source "Vistelle" on an SQLite file of the ODBC
// sandbox, with the demo installation's tables, emptied before each test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/Ado.h"
#include "support/OdbcSandbox.h"

namespace i18n::testing {

class I18NDatabaseTest : public ::testing::Test {
 protected:
  static constexpr const char* kDsn = "Vistelle";

  static void SetUpTestSuite() {
    auto& sandbox = testsupport::OdbcSandbox::Instance();
    static const bool created = [&] {
      sandbox.AddSqliteDsn(kDsn);
      std::ifstream schema(TESSERY_I18N_SCHEMA);
      sandbox.Sqlite(kDsn, std::string(std::istreambuf_iterator<char>(schema), {}));
      return true;
    }();
    (void)created;
  }

  I18NDatabaseTest() { Sql("DELETE FROM I18NFIELDNAMES; DELETE FROM I18NFIELDVALUES; DELETE FROM I18NTEXT"); }

  // Runs `sql` with the sqlite3 shell, apart from the code under test; rows as "a|b|c" lines.
  static std::string Sql(const std::string& sql) {
    return testsupport::OdbcSandbox::Instance().Sqlite(kDsn, sql);
  }

  static void Text(const std::string& label, const std::string& text, int locale = 1033) {
    Sql("INSERT INTO I18NTEXT VALUES ('" + label + "', '" + text + "', " + std::to_string(locale) +
        ", '2020-01-01', 1)");
  }

  std::unique_ptr<platform::ado::DataAccess> access = platform::ado::OpenOdbcDataAccess();
  const std::string connectionString = "DSN=Vistelle";
};

}  // namespace i18n::testing
