// The pending-order query: the ids of the orders whose billing status awaits card settlement.
#include <cstdint>
#include <vector>

#include "service/PaymentBatchWork.h"
#include "service/ServiceModule.h"

namespace tillmoor {

namespace {

// At most `bytes` bytes of `text`, never cut inside a UTF-8 character.
std::string_view Head(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

}  // namespace

PaymentBatchWork::PaymentBatchWork(platform::ado::DataAccess& data, platform::ComponentCreator& components,
                                   std::string connectionString)
    : data_(data), components_(components), connectionString_(std::move(connectionString)) {}

void PaymentBatchWork::QueryPendingOrders(ServiceModule& module, OrderList& orders) {
  namespace ado = platform::ado;
  // Ids are collected apart and handed over only when every step succeeded.
  std::vector<std::string> ids;
  try {
    std::unique_ptr<ado::Recordset> recordset = data_.NewRecordset();
    // A static cursor makes RecordCount exact, so the list gets room for exactly the rows read below.
    recordset->Open(kPendingOrderQuery, connectionString_, ado::adOpenStatic, ado::adLockOptimistic,
                    ado::adCmdText);
    if (!recordset->Eof()) {
      recordset->MoveLast();
      const std::int32_t count = recordset->RecordCount();
      ids.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
      recordset->MoveFirst();
    }
    while (!recordset->Eof()) {
      const platform::Variant value = recordset->Field("ORDERID");
      // Text is used unchanged; a number becomes its digits.
      std::string id = value.IsNull() ? std::string() : value.ToString();
      if (value.IsNull()) {
        module.ReportMessage("Order with a NULL id not handed out");
      } else if (id.empty()) {
        module.ReportMessage("Order with an empty id not handed out");
      } else if (id.size() > OrderList::kMaxIdLength) {
        const std::string head(Head(id, OrderList::kMaxIdLength));
        module.ReportMessage("Order id longer than 34 bytes not handed out: %s...", head.c_str());
      } else if (id.find('\0') != std::string::npos) {
        const std::string head(id.c_str());
        module.ReportMessage("Order id holding a NUL byte not handed out: %s...", head.c_str());
      } else {
        ids.push_back(std::move(id));
      }
      recordset->MoveNext();
    }
    recordset->Close();
  } catch (const platform::Error& error) {
    module.ReportMessage("Pending-order query failed: %s (0x%08X)", error.Description().c_str(),
                         static_cast<unsigned>(error.Number()));
    return;
  }
  for (const std::string& id : ids)
    platform::IgnoreResult(orders.Add(id), "every id was checked to fit above");
}

}  // namespace tillmoor
