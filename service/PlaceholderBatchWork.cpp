// Stand-in batch work for timing and stop tests: orders and delays from TESSERY_DEMO_*, no database.
#include "service/PlaceholderBatchWork.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "service/ServiceModule.h"

namespace tillmoor {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Now() {
  return std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count());
}

}  // namespace

PlaceholderBatchWork::PlaceholderBatchWork() : logPath_(Environment("TESSERY_DEMO_LOG")) {
  const std::string orders = Environment("TESSERY_DEMO_ORDERS");
  std::size_t start = 0;
  while (start < orders.size()) {
    std::size_t end = orders.find(',', start);
    if (end == std::string::npos) end = orders.size();
    if (end > start) orders_.push_back(orders.substr(start, end - start));
    start = end + 1;
  }
  paymentMilliseconds_ =
      std::max(0L, std::strtol(Environment("TESSERY_DEMO_PAYMENT_MS").c_str(), nullptr, 10));
  queryMilliseconds_ = std::max(0L, std::strtol(Environment("TESSERY_DEMO_QUERY_MS").c_str(), nullptr, 10));
}

void PlaceholderBatchWork::QueryPendingOrders(ServiceModule& module, OrderList& orders) {
  Log("query " + Now());
  std::this_thread::sleep_for(std::chrono::milliseconds(queryMilliseconds_));
  for (const std::string& id : orders_) {
    if (!orders.Add(id))
      module.ReportMessage("Order id longer than 34 characters skipped: %.40s", id.c_str());
  }
}

void PlaceholderBatchWork::PayOrder(ServiceModule& module, const std::string& orderId) {
  (void)module;
  Log("begin " + orderId + " " + Now());
  std::this_thread::sleep_for(std::chrono::milliseconds(paymentMilliseconds_));
  Log("end " + orderId + " " + Now());
}

void PlaceholderBatchWork::Log(const std::string& line) {
  if (logPath_.empty()) return;
  std::lock_guard lock(logMutex_);
  std::ofstream out(logPath_, std::ios::app);
  out << line << '\n';
}

}  // namespace tillmoor
