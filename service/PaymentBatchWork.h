// The batch work of the running service: the pending-order query on the order database and the
// payment worker's hand-over to the payment component.
//
// Decisions:
//   - An order id longer than 34 bytes is never cut short (a shortened id could name, and pay, another
//     order): it is reported and not handed out; the rest of the list goes on. So is a NULL id, an
//     empty id and one holding a NUL byte: none of them names an order a worker could pay.
//   - A query step that fails (driver missing, data source unknown, table missing, a row that cannot
//     be read) is reported with the data source's text and leaves the list empty, also when some rows
//     were read: the cycle then pays nothing, releases the run guard and re-arms the timer as always,
//     and the next cycle asks again.
//   - Repeated ids are handed out as often as the query returns them, each to a worker and component
//     instance of its own; that a payment happens once is the component's guarantee, not the list's.
//   - A worker whose component cannot be created, lacks the payment interface, or whose Run fails
//     reports message 101, 102 or 103 with the order id and the failure code. The cycle's worker
//     procedure signals the slot in every case.
#pragma once

#include <string>
#include <string_view>

#include "platform/Ado.h"
#include "platform/Com.h"
#include "service/BatchWork.h"

namespace tillmoor {

inline constexpr std::string_view kOrderDatabase = "DSN=Velmar;UID=WWWapps;PWD=";
inline constexpr std::string_view kPendingOrderQuery =
    "SELECT ORDERID FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)";

class PaymentBatchWork final : public BatchWork {
 public:
  // `data` and `components` outlive the work; both may be used from several threads.
  PaymentBatchWork(platform::ado::DataAccess& data, platform::ComponentCreator& components,
                   std::string connectionString = std::string(kOrderDatabase));

  void QueryPendingOrders(ServiceModule& module, OrderList& orders) override;
  void PayOrder(ServiceModule& module, const std::string& orderId) override;

 private:
  platform::ado::DataAccess& data_;
  platform::ComponentCreator& components_;
  std::string connectionString_;
};

}  // namespace tillmoor
