// The data-access objects over the ODBC driver manager (unixODBC), through its narrow (UTF-8) calls.
//
// Every ODBC return code passes through Check(), which turns a failure into a DataAccessError with
// the handle's diagnostic records. A recordset reads every row of its result when it opens; values
// are fetched as text (binary columns as bytes) and given their variant type from the column's SQL
// type and the text itself by the common rules of ../common/AdoFieldText.h, so a driver that converts
// loosely (0 for "ABC" read as a number) never decides a value. This file keeps the ODBC calls.
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "../common/AdoFieldText.h"
#include "platform/Ado.h"
#include "runtime/Ascii.h"

namespace platform::ado {
namespace {

[[noreturn]] void RaiseAdo(HRESULT number) {
  Raise(number, Description(number));
}

// ---------------------------------------------------------------------------------------------------
// Diagnostics and the one check of every return code

std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::vector<Diagnostic> diagnostics;
  // A bound keeps a misbehaving driver from holding us in the loop.
  for (SQLSMALLINT record = 1; record <= 32; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    std::vector<SQLCHAR> message(512);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                         static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const std::size_t used =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    diagnostics.push_back({std::string(reinterpret_cast<const char*>(state)),
                           static_cast<std::int32_t>(native),
                           std::string(reinterpret_cast<const char*>(message.data()), used)});
  }
  return diagnostics;
}

// Success, success with information and "no data" go back to the caller, which decides what no data
// means for its call; anything else is thrown with the handle's diagnostics.
SQLRETURN Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return rc;
  std::vector<Diagnostic> diagnostics;
  if (rc != SQL_INVALID_HANDLE && handle != SQL_NULL_HANDLE)
    diagnostics = ReadDiagnostics(handleType, handle);
  if (diagnostics.empty()) {
    diagnostics.push_back({"HY000", 0, std::string(call) + " failed with return code " + std::to_string(rc)});
  }
  throw DataAccessError(std::move(diagnostics));
}

// ---------------------------------------------------------------------------------------------------
// Handles

class Handle {
 public:
  Handle(SQLSMALLINT type, SQLSMALLINT parentType, SQLHANDLE parent) : type_(type) {
    Check(SQLAllocHandle(type, parent, &handle_), parentType, parent, "SQLAllocHandle");
  }
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE Get() const noexcept { return handle_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Drivers read their data-source settings through the driver manager's installer library, and some
// load it at every connect and unload it when the last connection closes; each time it goes, the
// settings it had read are lost with it (measured: about 4 KB and 2 ms per connect for a process that
// opens one connection at a time, as every cycle and every payment does). Keeping the library loaded
// for the life of the process ends both. Where it cannot be found nothing changes.
void KeepInstallerLibraryLoaded() {
  static const bool loaded = [] {
    for (const char* name : {"libodbcinst.so.2", "libodbcinst.so"}) {
      if (dlopen(name, RTLD_NOW | RTLD_LOCAL) != nullptr) return true;  // never closed
    }
    return false;
  }();
  static_cast<void>(loaded);
}

// The ODBC environment all objects of one DataAccess share; objects keep it alive.
class Environment {
 public:
  Environment() : handle_(SQL_HANDLE_ENV, SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    KeepInstallerLibraryLoaded();
    Check(SQLSetEnvAttr(handle_.Get(), SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_OV_ODBC3)), 0),
          SQL_HANDLE_ENV, handle_.Get(), "SQLSetEnvAttr");
  }
  SQLHENV Get() const noexcept { return handle_.Get(); }

 private:
  Handle handle_;
};

// A connection handle connected to a data source; it disconnects (ignoring failures) and is freed
// when destroyed.
class Link {
 public:
  Link(const Environment& environment, std::string_view connectionString)
      : handle_(SQL_HANDLE_DBC, SQL_HANDLE_ENV, environment.Get()) {
    if (connectionString.size() > static_cast<std::size_t>(SHRT_MAX)) RaiseAdo(hr::InvalidArgument);
    std::string text(connectionString);
    const SQLRETURN rc = Check(
        SQLDriverConnect(Get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                         static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, Get(), "SQLDriverConnect");
    // "No data" is a cancelled prompt; no connection was made.
    if (rc == SQL_NO_DATA) throw DataAccessError({{"08001", 0, "The data source was not connected"}});
    connected_ = true;
  }
  ~Link() {
    if (connected_) SQLDisconnect(Get());
  }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  SQLHDBC Get() const noexcept { return handle_.Get(); }

  void Disconnect() {
    connected_ = false;
    Check(SQLDisconnect(Get()), SQL_HANDLE_DBC, Get(), "SQLDisconnect");
  }

  void SetAutocommit(bool on) {
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    Check(
        SQLSetConnectAttr(Get(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value)), SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, Get(), "SQLSetConnectAttr");
  }

  void EndTransaction(SQLSMALLINT completion) {
    Check(SQLEndTran(SQL_HANDLE_DBC, Get(), completion), SQL_HANDLE_DBC, Get(), "SQLEndTran");
  }

  // A text answer of SQLGetInfo.
  std::string Info(SQLUSMALLINT type) const {
    std::vector<SQLCHAR> text(256);
    SQLSMALLINT length = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
      Check(SQLGetInfo(Get(), type, text.data(), static_cast<SQLSMALLINT>(text.size()), &length),
            SQL_HANDLE_DBC, Get(), "SQLGetInfo");
      if (length < static_cast<SQLSMALLINT>(text.size())) break;
      text.resize(static_cast<std::size_t>(length) + 1);  // cut short: once more with room for it
    }
    const std::size_t used =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), text.size() - 1);
    return std::string(reinterpret_cast<const char*>(text.data()), used);
  }

 private:
  Handle handle_;
  bool connected_ = false;
};

// The idle connections of a pooling DataAccess (Pooling in platform/Ado.h), in the order they came
// back. A thread of the pool, started when the first one comes back, disconnects each once it has
// been idle for the limit; the rest are disconnected when the pool goes.
class LinkPool {
 public:
  using Clock = std::chrono::steady_clock;

  LinkPool(std::shared_ptr<const Environment> environment, std::chrono::milliseconds idleLimit)
      : environment_(std::move(environment)), idleLimit_(idleLimit) {}
  ~LinkPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (reaper_.joinable()) reaper_.join();
  }
  LinkPool(const LinkPool&) = delete;
  LinkPool& operator=(const LinkPool&) = delete;

  // The connection to `connectionString` that came back last and is still within the limit, or null.
  std::unique_ptr<Link> Take(const std::string& connectionString) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
      if (it->connectionString == connectionString && now - it->since < idleLimit_) {
        std::unique_ptr<Link> link = std::move(it->link);
        idle_.erase(std::next(it).base());
        return link;
      }
    }
    return nullptr;
  }

  // Keeps `link`; gives it back (to be disconnected) when the pool cannot start its thread.
  std::unique_ptr<Link> Give(const std::string& connectionString, std::unique_ptr<Link> link) {
    bool wasEmpty;
    {
      std::lock_guard lock(mutex_);
      if (!reaper_.joinable()) {
        try {
          reaper_ = std::thread([this] { Reap(); });
        } catch (const std::system_error&) {
          return link;
        }
      }
      wasEmpty = idle_.empty();
      idle_.push_back(Idle{connectionString, std::move(link), Clock::now()});
    }
    // The reaper sleeps until the oldest connection is due; only a first one changes that.
    if (wasEmpty) changed_.notify_all();
    return nullptr;
  }

 private:
  struct Idle {
    std::string connectionString;
    std::unique_ptr<Link> link;
    Clock::time_point since;
  };

  void Reap() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      // Timed even with nothing to wait for, so that a lost wake-up costs at most one limit.
      const Clock::time_point due =
          idle_.empty() ? Clock::now() + idleLimit_ : idle_.front().since + idleLimit_;
      if (idle_.empty() || Clock::now() < due) {
        changed_.wait_until(lock, due);
        continue;
      }
      std::vector<std::unique_ptr<Link>> expired;
      while (!idle_.empty() && idle_.front().since + idleLimit_ <= Clock::now()) {
        expired.push_back(std::move(idle_.front().link));
        idle_.pop_front();
      }
      // Disconnecting may wait for the server: not while holding the pool.
      lock.unlock();
      expired.clear();
      lock.lock();
    }
  }

  const std::shared_ptr<const Environment> environment_;  // outlives every link
  const std::chrono::milliseconds idleLimit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Idle> idle_;
  bool stopping_ = false;
  std::thread reaper_;
};

// ---------------------------------------------------------------------------------------------------
// What a column's SQL type says about reading its text

ColumnKind KindOf(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
      return ColumnKind::SmallInteger;
    case SQL_INTEGER:
    case SQL_BIGINT:
      return ColumnKind::Integer;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ColumnKind::Exact;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ColumnKind::Float;
    case SQL_BIT:
      return ColumnKind::Bit;
    case SQL_DATETIME:  // also SQL_DATE
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
      return ColumnKind::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ColumnKind::Binary;
    default:
      return ColumnKind::Text;
  }
}

// ---------------------------------------------------------------------------------------------------
// Rows

struct Rows {
  std::vector<std::string> names;
  std::vector<Variant> cells;  // row by row
  std::size_t count = 0;
};

// Reads one column of the current row whole, in as many pieces as its length needs. False for NULL.
bool ReadColumn(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, std::string& out) {
  out.clear();
  char buffer[2048];
  const SQLLEN room = static_cast<SQLLEN>(sizeof buffer) - (cType == SQL_C_CHAR ? 1 : 0);
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = Check(SQLGetData(statement, column, cType, buffer, sizeof buffer, &indicator),
                               SQL_HANDLE_STMT, statement, "SQLGetData");
    if (rc == SQL_NO_DATA) return true;  // the previous piece was the last
    if (indicator == SQL_NULL_DATA) return false;
    if (rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > room)) {
      out.append(buffer, static_cast<std::size_t>(room));  // truncated: more follows
      continue;
    }
    out.append(buffer, static_cast<std::size_t>(std::clamp<SQLLEN>(indicator, 0, room)));
    return true;
  }
}

Rows ReadRows(SQLHSTMT statement, SQLSMALLINT columnCount) {
  Rows rows;
  std::vector<ColumnKind> kinds;
  for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columnCount); ++column) {
    std::vector<SQLCHAR> name(256);
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    Check(SQLDescribeCol(statement, column, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                         &type, &size, &digits, &nullable),
          SQL_HANDLE_STMT, statement, "SQLDescribeCol");
    if (nameLength >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<std::size_t>(nameLength) + 1);
      Check(SQLDescribeCol(statement, column, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                           &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, statement, "SQLDescribeCol");
    }
    rows.names.emplace_back(
        reinterpret_cast<const char*>(name.data()),
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)), name.size() - 1));
    kinds.push_back(KindOf(type));
  }

  std::string text;
  while (Check(SQLFetch(statement), SQL_HANDLE_STMT, statement, "SQLFetch") != SQL_NO_DATA) {
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columnCount); ++column) {
      const ColumnKind kind = kinds[column - 1];
      if (ReadColumn(statement, column, kind == ColumnKind::Binary ? SQL_C_BINARY : SQL_C_CHAR, text)) {
        rows.cells.push_back(FieldFromText(kind, std::move(text)));
      } else {
        rows.cells.push_back(Variant::Null());
      }
    }
    ++rows.count;
  }
  return rows;
}

struct StatementResult {
  std::int32_t recordsAffected = 0;
  bool returnsRows = false;
  Rows rows;
};

std::int32_t ClampCount(SQLLEN count) {
  return static_cast<std::int32_t>(std::clamp<SQLLEN>(count, -1, std::numeric_limits<std::int32_t>::max()));
}

StatementResult RunStatement(const Link& link, std::string_view sql, bool keepRows) {
  if (sql.size() > static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max()))
    RaiseAdo(hr::InvalidArgument);
  Handle statement(SQL_HANDLE_STMT, SQL_HANDLE_DBC, link.Get());
  std::string text(sql);
  StatementResult result;
  const SQLRETURN rc = Check(SQLExecDirect(statement.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                           static_cast<SQLINTEGER>(text.size())),
                             SQL_HANDLE_STMT, statement.Get(), "SQLExecDirect");
  // A searched UPDATE or DELETE that matched no row.
  if (rc == SQL_NO_DATA) return result;
  SQLSMALLINT columns = 0;
  Check(SQLNumResultCols(statement.Get(), &columns), SQL_HANDLE_STMT, statement.Get(), "SQLNumResultCols");
  if (columns > 0) {
    result.recordsAffected = -1;
    result.returnsRows = true;
    if (keepRows) result.rows = ReadRows(statement.Get(), columns);
    return result;
  }
  SQLLEN count = 0;
  Check(SQLRowCount(statement.Get(), &count), SQL_HANDLE_STMT, statement.Get(), "SQLRowCount");
  result.recordsAffected = ClampCount(count);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// Objects

class OdbcRecordset final : public Recordset {
 public:
  explicit OdbcRecordset(std::shared_ptr<const Environment> environment)
      : environment_(std::move(environment)) {}

  // Takes the rows of a statement that has run.
  void Adopt(Rows rows, bool forwardOnly) {
    rows_ = std::move(rows);
    forwardOnly_ = forwardOnly;
    position_ = 0;
    open_ = true;
  }

  void Open(std::string_view source, std::string_view activeConnection, CursorType cursorType,
            LockType lockType, long options) override {
    if (open_) RaiseAdo(hr::ObjectOpen);
    if (cursorType < adOpenUnspecified || cursorType > adOpenStatic || lockType < adLockUnspecified ||
        lockType > adLockBatchOptimistic || lockType == 0 ||
        (options != adCmdUnspecified && options != adCmdText && options != adCmdUnknown)) {
      RaiseAdo(hr::InvalidArgument);
    }
    if (activeConnection.empty()) RaiseAdo(hr::ConnectionInvalid);
    StatementResult result;
    {
      Link link(*environment_, activeConnection);
      result = RunStatement(link, source, true);
    }
    // A statement without rows leaves the recordset closed, as the platform does.
    if (result.returnsRows) {
      Adopt(std::move(result.rows), cursorType == adOpenForwardOnly || cursorType == adOpenUnspecified);
    }
  }

  void Close() override {
    RequireOpen();
    open_ = false;
    rows_ = Rows{};
  }

  ObjectState State() const override { return open_ ? adStateOpen : adStateClosed; }

  bool Eof() const override {
    RequireOpen();
    return rows_.count == 0 || position_ >= static_cast<std::ptrdiff_t>(rows_.count);
  }

  bool Bof() const override {
    RequireOpen();
    return rows_.count == 0 || position_ < 0;
  }

  std::int32_t RecordCount() const override {
    RequireOpen();
    if (forwardOnly_) return -1;
    return static_cast<std::int32_t>(
        std::min<std::size_t>(rows_.count, std::numeric_limits<std::int32_t>::max()));
  }

  void MoveFirst() override {
    RequireScrollable();
    if (rows_.count == 0) RaiseAdo(hr::NoCurrentRecord);
    position_ = 0;
  }

  void MoveLast() override {
    RequireScrollable();
    if (rows_.count == 0) RaiseAdo(hr::NoCurrentRecord);
    position_ = static_cast<std::ptrdiff_t>(rows_.count) - 1;
  }

  void MoveNext() override {
    if (Eof()) RaiseAdo(hr::NoCurrentRecord);
    ++position_;
  }

  void MovePrevious() override {
    RequireScrollable();
    if (Bof()) RaiseAdo(hr::NoCurrentRecord);
    --position_;
  }

  std::int32_t FieldCount() const override {
    RequireOpen();
    return static_cast<std::int32_t>(rows_.names.size());
  }

  std::string FieldName(std::int32_t index) const override {
    RequireOpen();
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.names.size()) RaiseAdo(hr::ItemNotFound);
    return rows_.names[static_cast<std::size_t>(index)];
  }

  Variant Field(std::string_view name) const override {
    RequireOpen();
    // The first column of that name, as a join of two tables with a column of the same name gives it.
    const auto found =
        std::find_if(rows_.names.begin(), rows_.names.end(),
                     [&](const std::string& candidate) { return EqualsIgnoreAsciiCase(candidate, name); });
    if (found == rows_.names.end()) RaiseAdo(hr::ItemNotFound);
    return Cell(static_cast<std::size_t>(found - rows_.names.begin()));
  }

  Variant Field(std::int32_t index) const override {
    RequireOpen();
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.names.size()) RaiseAdo(hr::ItemNotFound);
    return Cell(static_cast<std::size_t>(index));
  }

 private:
  void RequireOpen() const {
    if (!open_) RaiseAdo(hr::ObjectClosed);
  }
  void RequireScrollable() const {
    RequireOpen();
    if (forwardOnly_) RaiseAdo(hr::CannotScrollBackwards);
  }
  const Variant& Cell(std::size_t column) const {
    if (Eof() || Bof()) RaiseAdo(hr::NoCurrentRecord);
    return rows_.cells[static_cast<std::size_t>(position_) * rows_.names.size() + column];
  }

  std::shared_ptr<const Environment> environment_;
  bool open_ = false;
  bool forwardOnly_ = true;
  Rows rows_;
  std::ptrdiff_t position_ = 0;  // -1 before the first row, count after the last
};

class OdbcConnection final : public Connection {
 public:
  OdbcConnection(std::shared_ptr<const Environment> environment, std::shared_ptr<LinkPool> pool)
      : environment_(std::move(environment)), pool_(std::move(pool)) {}

  ~OdbcConnection() override {
    // Work of an unfinished transaction is rolled back, never committed by going away.
    if (link_ && manualCommit_) SQLEndTran(SQL_HANDLE_DBC, link_->Get(), SQL_ROLLBACK);
  }

  void SetConnectionString(std::string_view connectionString) override {
    if (link_) RaiseAdo(hr::ObjectOpen);
    connectionString_ = connectionString;
  }

  std::string ConnectionString() const override { return connectionString_; }

  void Open(std::string_view connectionString) override {
    if (link_) RaiseAdo(hr::ObjectOpen);
    if (!connectionString.empty()) connectionString_ = connectionString;
    if (pool_) link_ = pool_->Take(connectionString_);
    if (!link_) link_ = std::make_unique<Link>(*environment_, connectionString_);
    inTransaction_ = manualCommit_ = false;
    reusable_ = true;
  }

  // Closed afterwards whatever fails; the first failure is raised once everything is released. A
  // pooling DataAccess keeps the connection instead when it is clean.
  void Close() override {
    if (!link_) RaiseAdo(hr::ObjectClosed);
    std::unique_ptr<Link> link = std::move(link_);
    const bool rollBack = manualCommit_;
    inTransaction_ = manualCommit_ = false;
    std::exception_ptr failure;
    if (rollBack) {
      try {
        link->EndTransaction(SQL_ROLLBACK);
        if (pool_) link->SetAutocommit(true);  // as a new connection starts
      } catch (...) {
        failure = std::current_exception();
      }
    }
    if (pool_ && reusable_ && !failure) {
      link = pool_->Give(connectionString_, std::move(link));
      if (!link) return;
    }
    try {
      link->Disconnect();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
  }

  ObjectState State() const override { return link_ ? adStateOpen : adStateClosed; }

  std::unique_ptr<Recordset> Execute(std::string_view commandText, std::int32_t* recordsAffected,
                                     long options) override {
    if (!link_) RaiseAdo(hr::ObjectClosed);
    bool keepRows = true;
    if (options != adCmdUnspecified) {
      keepRows = (options & adExecuteNoRecords) == 0;
      const long kind = options & ~adExecuteNoRecords;
      if (kind != adCmdText && kind != adCmdUnknown && !(kind == 0 && !keepRows))
        RaiseAdo(hr::InvalidArgument);
    }
    RestoreAutocommit();
    StatementResult result = OnLink([&] { return RunStatement(*link_, commandText, keepRows); });
    if (recordsAffected) *recordsAffected = result.recordsAffected;
    auto recordset = std::make_unique<OdbcRecordset>(environment_);
    if (result.returnsRows && keepRows) recordset->Adopt(std::move(result.rows), true);
    return recordset;
  }

  std::int32_t BeginTrans() override {
    if (!link_) RaiseAdo(hr::ObjectClosed);
    if (inTransaction_) RaiseAdo(hr::TransactionExists);
    if (!manualCommit_) {
      OnLink([&] { link_->SetAutocommit(false); });
      manualCommit_ = true;
    }
    inTransaction_ = true;
    return 1;
  }

  void CommitTrans() override { EndTransaction(SQL_COMMIT); }
  void RollbackTrans() override { EndTransaction(SQL_ROLLBACK); }

  std::string Property(std::string_view name) const override {
    if (!link_) RaiseAdo(hr::ObjectClosed);
    static constexpr std::pair<std::string_view, SQLUSMALLINT> kProperties[] = {
        {"DBMS Name", SQL_DBMS_NAME}, {"DBMS Version", SQL_DBMS_VER}, {"Driver Name", SQL_DRIVER_NAME}};
    for (const auto& [known, type] : kProperties) {
      if (EqualsIgnoreAsciiCase(known, name)) return link_->Info(type);
    }
    RaiseAdo(hr::ItemNotFound);
  }

 private:
  // A transaction whose end failed is still in progress, so the caller may roll it back.
  void EndTransaction(SQLSMALLINT completion) {
    if (!link_) RaiseAdo(hr::ObjectClosed);
    if (!inTransaction_) RaiseAdo(hr::NoTransaction);
    OnLink([&] { link_->EndTransaction(completion); });
    inTransaction_ = false;
    RestoreAutocommit();
  }

  // Outside a transaction every statement commits on its own. When switching back after a
  // transaction could not be done, the next statement tries again before it runs, so its work is
  // never left uncommitted unnoticed.
  void RestoreAutocommit() {
    if (!manualCommit_ || inTransaction_) return;
    OnLink([&] { link_->SetAutocommit(true); });
    manualCommit_ = false;
  }

  // Runs `step` on the link; a failure leaves the connection out of the pool at Close, since the
  // link may be broken.
  template <typename Step>
  auto OnLink(Step step) -> decltype(step()) {
    try {
      return step();
    } catch (...) {
      reusable_ = false;
      throw;
    }
  }

  std::shared_ptr<const Environment> environment_;
  std::shared_ptr<LinkPool> pool_;  // null: no pooling
  std::string connectionString_;
  std::unique_ptr<Link> link_;  // null while closed
  bool inTransaction_ = false;
  bool manualCommit_ = false;  // autocommit is off on the data source
  bool reusable_ = true;       // nothing done on the link since it was opened has failed
};

class OdbcDataAccess final : public DataAccess {
 public:
  explicit OdbcDataAccess(Pooling pooling)
      : pool_(pooling.idleLimit.count() > 0 ? std::make_shared<LinkPool>(environment_, pooling.idleLimit)
                                            : nullptr) {}

  std::unique_ptr<Connection> NewConnection() override {
    return std::make_unique<OdbcConnection>(environment_, pool_);
  }
  std::unique_ptr<Recordset> NewRecordset() override { return std::make_unique<OdbcRecordset>(environment_); }

 private:
  std::shared_ptr<const Environment> environment_ = std::make_shared<const Environment>();
  std::shared_ptr<LinkPool> pool_;  // null: no pooling
};

}  // namespace

std::unique_ptr<DataAccess> OpenOdbcDataAccess(Pooling pooling) {
  return std::make_unique<OdbcDataAccess>(pooling);
}

}  // namespace platform::ado
