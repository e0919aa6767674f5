// The cluster guard on a PostgreSQL session advisory lock.
#include "service/ClusterGuard.h"

#include <cstdio>

namespace tillmoor {

namespace {

namespace ado = platform::ado;

// The product name the PostgreSQL drivers report for the server.
constexpr std::string_view kPostgreSql = "PostgreSQL";

std::string FailureOf(const platform::Error& error) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(error.Number()));
  return error.Description() + " (" + number + ")";
}

}  // namespace

ClusterGuard::ClusterGuard(platform::ado::DataAccess& data, std::string connectionString, std::int64_t key)
    : data_(data), connectionString_(std::move(connectionString)), key_(std::to_string(key)) {}

ClusterGuard::~ClusterGuard() {
  Disconnect();
}

std::int64_t ClusterGuard::KeyOf(std::string_view serviceName) {
  std::uint64_t hash = 0xCBF29CE484222325u;  // FNV-1a offset basis
  for (const char c : serviceName) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3u;  // FNV-1a prime
  }
  return static_cast<std::int64_t>(hash);
}

std::optional<std::string> ClusterGuard::Connect() {
  connection_ = data_.NewConnection();
  connection_->Open(connectionString_);
  const std::string product = connection_->Property("DBMS Name");
  if (product == kPostgreSql) return std::nullopt;
  std::string refusal = "ClusterGuard refused: its driver " + connection_->Property("Driver Name") +
                        " connects to " + (product.empty() ? std::string("an unnamed database") : product) +
                        ", not PostgreSQL";
  Disconnect();
  return refusal;
}

void ClusterGuard::Disconnect() {
  taken_ = false;
  if (!connection_) return;
  try {
    if (connection_->State() == ado::adStateOpen) connection_->Close();
  } catch (const platform::Error&) {
    // The session is gone already; the connection object is released below either way.
  }
  connection_.reset();
}

std::optional<std::string> ClusterGuard::DatabaseRefusal() {
  std::optional<std::string> refusal = Connect();
  Disconnect();
  return refusal;
}

ClusterGuard::Attempt ClusterGuard::TryTake(std::string& failure) {
  try {
    if (!connection_) {
      if (std::optional<std::string> refusal = Connect()) {
        failure = std::move(*refusal);
        return Attempt::Failed;
      }
    }
    // Read as a number: drivers differ in how they hand out a Boolean.
    std::unique_ptr<ado::Recordset> result =
        connection_->Execute("SELECT CAST(pg_try_advisory_lock(" + key_ + ") AS INTEGER)");
    taken_ = !result->Eof() && result->Field(0).ToString() == "1";
    return taken_ ? Attempt::Taken : Attempt::HeldElsewhere;
  } catch (const platform::Error& error) {
    failure = FailureOf(error);
  }
  Disconnect();
  return Attempt::Failed;
}

std::optional<std::string> ClusterGuard::WhyNotHeld() {
  if (!connection_ || !taken_) return "the cluster guard is not held";
  std::string failure;
  try {
    connection_->Execute("SELECT 1", nullptr, ado::adCmdText | ado::adExecuteNoRecords);
    return std::nullopt;
  } catch (const platform::Error& error) {
    failure = FailureOf(error);
  }
  Disconnect();
  return failure;
}

void ClusterGuard::Release() {
  if (connection_ && taken_) {
    try {
      connection_->Execute("SELECT pg_advisory_unlock(" + key_ + ")", nullptr,
                           ado::adCmdText | ado::adExecuteNoRecords);
    } catch (const platform::Error&) {
      // Disconnecting ends the session, which releases the lock as well.
    }
  }
  Disconnect();
}

}  // namespace tillmoor
