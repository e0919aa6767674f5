// The cluster guard: the run guard's rule (one cycle at a time, released when its holder dies) kept
// across the hosts that share an order database, by that database.
//
// It is a PostgreSQL session advisory lock: a cycle connects with the ClusterGuard connection string
// on a connection of its own, takes the lock with pg_try_advisory_lock, keeps the connection for the
// whole cycle and at its end unlocks with pg_advisory_unlock and disconnects. The server releases a
// session's locks when the session ends, so a host that dies (its connection closes) frees the guard
// for the others. Only PostgreSQL has such locks: a connection whose driver reports another database
// product is refused, with the driver's name.
//
// The key is fixed for a service name: FNV-1a (64 bits) over the name's UTF-8 bytes, read as a signed
// 64-bit number (PostgreSQL's bigint). Every host of one service computes the same key; another
// service name gives another lock. In pg_locks it shows as locktype "advisory", classid the high and
// objid the low 32 bits, objsubid 1.
//
// A ClusterGuard is used by one thread (the service thread) at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Ado.h"

namespace tillmoor {

class ClusterGuard {
 public:
  enum class Attempt {
    Taken,          // this host holds the guard
    HeldElsewhere,  // another session holds it: another host runs its cycle
    Failed,         // the database could not be reached, is not PostgreSQL, or refused the statement
  };

  // `data` outlives the guard.
  ClusterGuard(platform::ado::DataAccess& data, std::string connectionString, std::int64_t key);
  ~ClusterGuard();  // disconnects, which releases a guard still held
  ClusterGuard(const ClusterGuard&) = delete;
  ClusterGuard& operator=(const ClusterGuard&) = delete;

  // The lock key of a service name (see above).
  static std::int64_t KeyOf(std::string_view serviceName);

  // Connects when not connected, checks the database product, and tries the lock once. Failed:
  // `failure` says why and the connection is closed.
  Attempt TryTake(std::string& failure);

  // Why the guard is no longer held: nothing while the session that took it still lives, and with it
  // the lock; otherwise the reason, and the connection is closed.
  [[nodiscard]] std::optional<std::string> WhyNotHeld();

  // Unlocks when the guard was taken and disconnects. Failures are ignored: a session that cannot be
  // reached any more has ended, and its end released the lock.
  void Release();

  // Connects, checks the database product and disconnects: nothing for PostgreSQL, the refusal for
  // another product. Throws platform::Error when it cannot connect.
  [[nodiscard]] std::optional<std::string> DatabaseRefusal();

 private:
  // Connects: nothing when connected; the refusal, with the connection closed, when the product is
  // not PostgreSQL.
  [[nodiscard]] std::optional<std::string> Connect();
  void Disconnect();

  platform::ado::DataAccess& data_;
  const std::string connectionString_;
  const std::string key_;  // as SQL text
  std::unique_ptr<platform::ado::Connection> connection_;
  bool taken_ = false;
};

}  // namespace tillmoor
