// Data access: the ADO connection and recordset over ODBC data sources.
//
// Keeps: ADODB.Connection (ConnectionString, Open, Execute with the affected-record count and the
// rows a query returns, BeginTrans / CommitTrans / RollbackTrans, Close, State, and three of its
// dynamic Properties: "DBMS Name", "DBMS Version", "Driver Name") and ADODB.Recordset
// (Open with a SQL text as source and a connection string as active connection, forward-only and
// static cursors, RecordCount, EOF, BOF, MoveFirst, MoveLast, MoveNext, MovePrevious, Fields by name
// (without regard to ASCII case; the first of equal names wins) or by position, Close, State).
// Connection strings go to the driver manager unchanged ("DSN=Velmar;UID=WWWapps;PWD="); data
// source names come from the ODBC configuration.
// Leaves out: Command and Parameter objects, updating through a recordset (AddNew, Update, Delete;
// the lock type is accepted and has no effect), keyset and dynamic cursors (they are served as
// static), bookmarks, paging, asynchronous calls, events, multiple result sets, nested transactions,
// a Connection object as a recordset's active connection, timeouts (the data source's own settings
// hold) and the Errors collection (the error carries its diagnostics instead).
//
// Rows: a recordset reads every row of its result when it opens and holds them from then on; this
// is what makes a static cursor's RecordCount exact with drivers that count no rows for a SELECT.
// A forward-only recordset (the default, and what Execute returns) moves only forward and reports
// RecordCount -1, as the platform does.
//
// Values: a field's value is a platform::Variant. A database NULL is Variant::Null(), never Empty.
// Numbers keep a number type (so ToString gives their digits): whole numbers that fit 16 bits in a
// small-integer column are Integer, others that fit 32 bits are Long, larger ones below 10^15 in size
// are Double (exactly), and beyond that they stay text with every digit, so no id is ever rounded.
// Fractional numbers are Double when the driver's text has at most 15 significant digits, text
// otherwise. Dates and times are Date when their text is an ISO date ("2024-01-31",
// "2024-01-31 13:05:09[.fff]") or time ("13:05:09"). A bit column gives Boolean. Anything else, and
// any value that does not read as its column's type (a database with loose column types may hold
// "ABC" in an INTEGER column), is String, byte for byte; binary data is String with the raw bytes.
// Text is UTF-8 both ways.
//
// Errors: every failing operation throws platform::Error. A failure the data source reports is a
// DataAccessError with the number E_FAIL (0x80004005) and a description made of each diagnostic
// record: its message, then "(SQLSTATE <state>, native error <n>)", records joined by "; ". The
// recordset's and the connection's own rules raise the platform's ADO errors (numbers in ado::hr).
//
// Threads: a Connection or Recordset is used by one thread at a time; neither the driver manager
// nor every driver makes a connection safe for several threads, so each thread opens its own. A
// DataAccess may be shared between threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Variant.h"

namespace platform::ado {

// HRESULTs the data-access objects raise.
namespace hr {
// The data source reported a failure; the description holds its diagnostics.
inline constexpr HRESULT Fail = static_cast<HRESULT>(0x80004005u);
// "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."
inline constexpr HRESULT InvalidArgument = static_cast<HRESULT>(0x800A0BB9u);
// "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a
// current record."
inline constexpr HRESULT NoCurrentRecord = static_cast<HRESULT>(0x800A0BCDu);
// "Item cannot be found in the collection corresponding to the requested name or ordinal."
inline constexpr HRESULT ItemNotFound = static_cast<HRESULT>(0x800A0CC1u);
// "Operation is not allowed when the object is closed."
inline constexpr HRESULT ObjectClosed = static_cast<HRESULT>(0x800A0E78u);
// "Operation is not allowed when the object is open."
inline constexpr HRESULT ObjectOpen = static_cast<HRESULT>(0x800A0E79u);
// "Rowset does not support fetching backward."
inline constexpr HRESULT CannotScrollBackwards = static_cast<HRESULT>(0x80040E24u);
// "The connection cannot be used to perform this operation. It is either closed or invalid in this
// context."
inline constexpr HRESULT ConnectionInvalid = static_cast<HRESULT>(0x800A0E7Du);
// "No transaction is active."
inline constexpr HRESULT NoTransaction = static_cast<HRESULT>(0x8004D00Eu);
// "Only one transaction can be active on this session."
inline constexpr HRESULT TransactionExists = static_cast<HRESULT>(0x8004D013u);
}  // namespace hr

// The standard description of one of the HRESULTs above ("" for others).
std::string Description(HRESULT number);

enum CursorType : int {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3,
};

enum LockType : int {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};

// Options of Recordset::Open and Connection::Execute: the kind of command text. SQL text is the only
// kind kept; adCmdUnspecified and adCmdUnknown are read as SQL text too. adExecuteNoRecords may be
// added to Execute's options: the rows a statement returns are then dropped.
inline constexpr long adCmdUnspecified = -1;
inline constexpr long adCmdText = 1;
inline constexpr long adCmdUnknown = 8;
inline constexpr long adExecuteNoRecords = 0x80;

enum ObjectState : long { adStateClosed = 0, adStateOpen = 1 };

// One diagnostic record of the data source.
struct Diagnostic {
  std::string sqlState;  // five characters, e.g. "IM002", "42S02", "HY000"
  std::int32_t nativeError = 0;
  std::string message;  // as the driver manager or driver wrote it, vendor prefixes included
};

// A failure reported by the data source: E_FAIL with its diagnostic records (at least one).
class DataAccessError : public Error {
 public:
  explicit DataAccessError(std::vector<Diagnostic> diagnostics);

  const std::vector<Diagnostic>& Diagnostics() const noexcept { return diagnostics_; }

 private:
  std::vector<Diagnostic> diagnostics_;
};

class Recordset {
 public:
  virtual ~Recordset() = default;

  // Runs `source` on a connection of its own opened with `activeConnection`, reads every row and
  // closes that connection again. A statement that returns no rows leaves the recordset closed. On
  // failure the recordset stays closed. ObjectOpen when open, ConnectionInvalid for an empty
  // `activeConnection`, InvalidArgument for a cursor type, lock type or option not listed here.
  virtual void Open(std::string_view source, std::string_view activeConnection,
                    CursorType cursorType = adOpenUnspecified, LockType lockType = adLockUnspecified,
                    long options = adCmdUnspecified) = 0;
  virtual void Close() = 0;  // ObjectClosed when closed
  virtual ObjectState State() const = 0;

  // Every operation below raises ObjectClosed on a closed recordset.
  virtual bool Eof() const = 0;  // after the last row, or no rows
  virtual bool Bof() const = 0;  // before the first row, or no rows
  // Static: the number of rows. Forward-only: -1.
  virtual std::int32_t RecordCount() const = 0;
  // MoveFirst and MoveLast raise NoCurrentRecord when there are no rows, MoveNext when at EOF and
  // MovePrevious when at BOF; on a forward-only recordset all but MoveNext raise CannotScrollBackwards.
  virtual void MoveFirst() = 0;
  virtual void MoveLast() = 0;
  virtual void MoveNext() = 0;
  virtual void MovePrevious() = 0;

  // Fields.Count, Fields(index).Name.
  virtual std::int32_t FieldCount() const = 0;
  virtual std::string FieldName(std::int32_t index) const = 0;  // ItemNotFound when out of range
  // Fields.Item(name).Value of the current row: ItemNotFound for a name the result does not have,
  // NoCurrentRecord at EOF or BOF.
  virtual Variant Field(std::string_view name) const = 0;
  virtual Variant Field(std::int32_t index) const = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;

  // The string Open uses when it is given none. ObjectOpen when set on an open connection.
  virtual void SetConnectionString(std::string_view connectionString) = 0;
  virtual std::string ConnectionString() const = 0;

  // Connects with `connectionString`, or with ConnectionString() when it is empty; a user and a
  // password go in the connection string. ObjectOpen when already open; on failure the connection
  // stays closed.
  virtual void Open(std::string_view connectionString = {}) = 0;
  // Rolls back a transaction still in progress (work is never committed by closing), then
  // disconnects. ObjectClosed when closed.
  virtual void Close() = 0;
  virtual ObjectState State() const = 0;

  // Runs one statement. `recordsAffected` receives the rows an INSERT, UPDATE or DELETE changed (0
  // when it matched none) and -1 for a statement that returns rows. The result is a forward-only
  // recordset with those rows, or a closed recordset when the statement returns none (or
  // adExecuteNoRecords is given). ObjectClosed when the connection is closed.
  virtual std::unique_ptr<Recordset> Execute(std::string_view commandText,
                                             std::int32_t* recordsAffected = nullptr,
                                             long options = adCmdUnspecified) = 0;

  // One transaction at a time: BeginTrans returns its level (1) and raises TransactionExists while
  // one is in progress; CommitTrans and RollbackTrans end it and raise NoTransaction when none is.
  // Outside a transaction every statement commits on its own.
  virtual std::int32_t BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;

  // Properties(name).Value of the open connection, as text: "DBMS Name" (the database product as its
  // driver names it: "PostgreSQL", "SQLite"), "DBMS Version" and "Driver Name" (the driver's file,
  // "sqlite3odbc.so"). ItemNotFound for another name, ObjectClosed when closed.
  virtual std::string Property(std::string_view name) const = 0;
};

// Creates the data-access objects ("ADODB.Connection", "ADODB.Recordset"); system code is given one.
class DataAccess {
 public:
  virtual ~DataAccess() = default;
  virtual std::unique_ptr<Connection> NewConnection() = 0;
  virtual std::unique_ptr<Recordset> NewRecordset() = 0;
};

// Connection pooling, which a DataAccess does only when asked to (an idle limit above zero). A
// Connection closed in a clean state (nothing it did failed, its transaction rolled back, autocommit
// on) goes back to its DataAccess still connected, and the next Open with the same connection string
// takes the connection returned last instead of connecting anew, provided it has been idle for less
// than the limit. Idle connections are disconnected once the limit has passed (by a thread of the
// DataAccess), and all of them when the DataAccess and every Connection it made are gone. A
// Connection destroyed without Close, and recordsets opened on a connection string, never pool.
// What pooling keeps besides the connection: the session's own state (settings, temporary tables,
// locks held for the session) goes with it to its next user, so code that leaves such state behind
// does not pool. A pooled connection whose server went away while it was idle fails at its first
// statement; it is then disconnected at Close and not pooled again.
struct Pooling {
  std::chrono::milliseconds idleLimit{0};  // 0: no pooling, every Close disconnects
};

// The ODBC backend (the driver manager of the system). The driver manager reads the data sources from
// $ODBCSYSINI/odbc.ini and $ODBCINI when it is first used in a process; set them before that.
std::unique_ptr<DataAccess> OpenOdbcDataAccess(Pooling pooling = {});

}  // namespace platform::ado
