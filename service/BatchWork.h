// What one batch cycle works on: the list of orders that await card payment, the worker slots the
// cycle hands them out through, and the seam behind which the order query and the payment hand-over
// live.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Threading.h"

namespace tillmoor {

class ServiceModule;

// The order ids of one cycle, in query order. An id is narrow text of at most 34 bytes.
class OrderList {
 public:
  static constexpr std::size_t kMaxIdLength = 34;

  // Appends `id`; false (and nothing appended) when it is longer than kMaxIdLength bytes or holds a
  // NUL, since it could not be handed to a worker whole.
  [[nodiscard]] bool Add(std::string_view id);
  void Clear() { ids_.clear(); }
  std::size_t Count() const { return ids_.size(); }
  const std::string& operator[](std::size_t index) const { return ids_[index]; }
  const std::vector<std::string>& Ids() const { return ids_; }

 private:
  std::vector<std::string> ids_;
};

// One place for a running payment worker. Occupied while it has a completion event; the worker reads
// the order id at its start and signals the event when it is done, after which the slot is the
// cycle's again.
struct WorkerSlot {
  platform::EventHandle completion;  // none when the slot is free
  std::array<char, 36> orderId{};    // NUL-terminated; empty when the slot is free

  bool Occupied() const { return completion != nullptr; }
  std::string OrderId() const { return orderId.data(); }
  void SetOrderId(std::string_view id);  // at most 35 bytes are kept
  void Free();
};

// The order query and the payment hand-over, as the batch cycle reaches them.
class BatchWork {
 public:
  virtual ~BatchWork() = default;

  // Fills `orders` (empty on entry) with the orders that await card payment, in the order the
  // database returns them. Runs on the service thread; reports its own failures through `module`.
  virtual void QueryPendingOrders(ServiceModule& module, OrderList& orders) = 0;

  // Hands one order to the payment component and returns when the component has handled it. Runs on
  // a worker thread of its own, with up to the worker count of them at once; reports its own
  // failures through `module`.
  virtual void PayOrder(ServiceModule& module, const std::string& orderId) = 0;
};

}  // namespace tillmoor
