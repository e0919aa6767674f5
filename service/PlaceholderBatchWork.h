// Stand-in batch work for the service core's own tests of timing and stops, which need no database:
// the executable runs it instead of the real order query and payment (PaymentBatchWork) when
// TESSERY_DEMO_ORDERS is set. Without orders it finds none.
//
// Four environment variables give it something to do:
//   TESSERY_DEMO_ORDERS      comma-separated order ids that every query returns
//   TESSERY_DEMO_PAYMENT_MS  how long each payment takes, in real milliseconds (default 0)
//   TESSERY_DEMO_QUERY_MS    how long each query takes, in real milliseconds (default 0); the query
//                            runs on the service thread, so this stands for a service thread that
//                            does not come back
//   TESSERY_DEMO_LOG         a file to which each query and payment appends one line:
//                            "query <t>", "begin <id> <t>", "end <id> <t>", with t the steady clock
//                            in nanoseconds (one clock for every process of the machine)
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "service/BatchWork.h"

namespace tillmoor {

class PlaceholderBatchWork final : public BatchWork {
 public:
  // Reads the environment variables above.
  PlaceholderBatchWork();

  void QueryPendingOrders(ServiceModule& module, OrderList& orders) override;
  void PayOrder(ServiceModule& module, const std::string& orderId) override;

 private:
  void Log(const std::string& line);

  std::vector<std::string> orders_;
  long paymentMilliseconds_ = 0;
  long queryMilliseconds_ = 0;
  std::string logPath_;
  std::mutex logMutex_;
};

}  // namespace tillmoor
