// The reference payment component's Run: the pending order paid and journalled in one transaction.
#include "components/CCPayment.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "runtime/Ascii.h"

namespace components {

namespace {

using namespace platform;

struct Settings {
  std::string connectionString{kDefaultConnectionString};
  std::uint32_t delayMilliseconds = 0;
  std::vector<std::string> failOrders;
};

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = platform::TrimAsciiBlanks(text.substr(start, end - start));
    if (!part.empty()) parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

// S_OK, or REGDB_E_READREGDB when the registry cannot be read: a component told to use another
// database must not fall back to the default one because its settings were unreadable.
HRESULT ReadSettings(Registry& registry, Settings& settings) {
  auto query = [&](std::string_view name, RegistryValue& value) {
    const long code = registry.QueryValue(RootKey::LocalMachine, kCCPaymentSettingsKey, name, value);
    if (code != win32::Success && code != win32::FileNotFound) return false;
    if (code == win32::FileNotFound) value = {};
    return true;
  };
  RegistryValue value;
  if (!query("ConnectionString", value)) return hr::REGDB_E_READREGDB;
  if (value.type != kRegNone && !value.AsString().empty()) settings.connectionString = value.AsString();
  if (!query("DelayMilliseconds", value)) return hr::REGDB_E_READREGDB;
  if (value.type != kRegNone && value.AsDWord()) settings.delayMilliseconds = *value.AsDWord();
  if (!query("FailOrders", value)) return hr::REGDB_E_READREGDB;
  if (value.type == kRegMultiSz) {
    const std::string_view data(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    settings.failOrders = Split(data, '\0');
  } else if (value.type != kRegNone) {
    settings.failOrders = Split(value.AsString(), ';');
  }
  return hr::S_OK;
}

// The order databases (by connection string) in which this process has found or made PAYMENTJOURNAL.
// A settlement on one of them does not ask for the journal again, which saves a statement and a round
// trip to the server per payment. Should the journal go away all the same, the insert fails, the
// settlement forgets the database, creates the journal and settles the order anew (its transaction was
// rolled back, so nothing was paid yet).
class KnownJournals {
 public:
  bool Contains(const std::string& connectionString) {
    std::lock_guard lock(mutex_);
    return known_.count(connectionString) != 0;
  }
  void Add(const std::string& connectionString) {
    std::lock_guard lock(mutex_);
    known_.insert(connectionString);
  }
  void Remove(const std::string& connectionString) {
    std::lock_guard lock(mutex_);
    known_.erase(connectionString);
  }

 private:
  std::mutex mutex_;
  std::set<std::string> known_;
};

KnownJournals& Journals() {
  static KnownJournals* const journals = new KnownJournals;  // objects may be released at exit
  return *journals;
}

class CCPayment final : public ComObject<IPayment> {
 public:
  CCPayment(Registry& registry, ado::DataAccess& data) : registry_(registry), data_(data) {}

  HRESULT Run(std::string_view orderId, short* result) override {
    if (result == nullptr) return hr::E_POINTER;
    *result = 0;
    // An empty id names no order; one with a NUL would be cut short on its way to the driver.
    if (orderId.empty() || orderId.find('\0') != std::string_view::npos) return hr::E_INVALIDARG;
    try {
      Settings settings;
      if (const HRESULT read = ReadSettings(registry_, settings); Failed(read)) return read;
      if (settings.delayMilliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settings.delayMilliseconds));
      }
      return Settle(orderId, settings);
    } catch (const Error& error) {
      return Failed(error.Number()) ? error.Number() : hr::E_FAIL;
    } catch (const std::bad_alloc&) {
      return hr::E_OUTOFMEMORY;
    } catch (...) {
      return hr::E_FAIL;
    }
  }

 private:
  // Throws platform::Error for what the data source reports. Leaving early, by return or by throw,
  // closes the connection, and closing rolls back a transaction still open.
  HRESULT Settle(std::string_view orderId, const Settings& settings) {
    const std::string id = SqlLiteral(orderId);
    // A connection of its own per call: connections are not shared between threads.
    std::unique_ptr<ado::Connection> connection = data_.NewConnection();
    connection->Open(settings.connectionString);
    bool journalAssumed = Journals().Contains(settings.connectionString);
    if (!journalAssumed) CreateJournal(*connection, settings.connectionString);

    for (;;) {
      connection->BeginTrans();
      std::int32_t settled = 0;
      connection->Execute("UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = 6 WHERE ORDERID = " + id +
                              " AND HEADERBILLINGSTATUS IN (3,4,5)",
                          &settled, ado::adCmdText | ado::adExecuteNoRecords);
      HRESULT refusal = hr::S_OK;
      if (settled == 0) {
        refusal = kOrderNotPending;
      } else if (settled > 1) {
        refusal = kOrderAmbiguous;
      } else {
        for (const std::string& declined : settings.failOrders) {
          if (declined == orderId) refusal = kPaymentDeclined;
        }
      }
      if (Failed(refusal)) {
        connection->RollbackTrans();
        connection->Close();
        return refusal;
      }
      try {
        connection->Execute(
            "INSERT INTO PAYMENTJOURNAL (ORDERID, PAIDAT) VALUES (" + id + ", CURRENT_TIMESTAMP)", nullptr,
            ado::adCmdText | ado::adExecuteNoRecords);
      } catch (const Error& failure) {
        if (!journalAssumed) throw;
        // The journal this process knew of may have been dropped: undo the update, make sure of the
        // journal, and settle again. When that fails too, the insert's failure is the one reported.
        Journals().Remove(settings.connectionString);
        journalAssumed = false;
        try {
          connection->RollbackTrans();
          CreateJournal(*connection, settings.connectionString);
        } catch (const Error&) {
          throw failure;
        }
        continue;
      }
      connection->CommitTrans();
      connection->Close();
      return hr::S_OK;
    }
  }

  // Creates PAYMENTJOURNAL when it is missing. Settlements running side by side on a database without
  // it all create it, and a database server may let only one of two concurrent creations through: the
  // other fails on the catalogue's unique name once the first has committed (PostgreSQL does this),
  // and then finds the table. So a failed creation is tried once more before the payment fails.
  static void CreateJournal(ado::Connection& connection, const std::string& connectionString) {
    for (int attempt = 1;; ++attempt) {
      try {
        connection.Execute(
            "CREATE TABLE IF NOT EXISTS PAYMENTJOURNAL (ORDERID VARCHAR(255) NOT NULL, PAIDAT TIMESTAMP NOT "
            "NULL)",
            nullptr, ado::adCmdText | ado::adExecuteNoRecords);
        Journals().Add(connectionString);
        return;
      } catch (const Error&) {
        if (attempt == 2) throw;
      }
    }
  }

  Registry& registry_;
  ado::DataAccess& data_;
};

}  // namespace

platform::ClassRegistration CCPaymentRegistration() {
  return {kCCPaymentClsid, std::string(platform::kPaymentProgId), "Tessery reference payment component",
          "Both"};
}

platform::ComPtr<platform::IPayment> MakeCCPayment(platform::Registry& registry,
                                                   platform::ado::DataAccess& data) {
  return platform::ComPtr<platform::IPayment>(platform::MakeComObject<CCPayment>(registry, data).Get());
}

std::string SqlLiteral(std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  literal += '\'';
  return literal;
}

}  // namespace components
