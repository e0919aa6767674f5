// The reference payment component CVOrderProcess.CCPayment: it settles one order in the order
// database. The product's own payment component talks to a card processor; this one records the
// settlement only, so that the service can run its whole job against a real database.
//
// Run(orderId) does, on a connection of its own and in one transaction:
//   UPDATE ORDERHEADER SET HEADERBILLINGSTATUS = 6
//     WHERE ORDERID = '<id>' AND HEADERBILLINGSTATUS IN (3,4,5)
//   INSERT INTO PAYMENTJOURNAL (ORDERID, PAIDAT) VALUES ('<id>', CURRENT_TIMESTAMP)
// The guarded UPDATE is what makes a payment happen once: a second Run for the same order (in the
// same cycle or a later one, in this process or another) finds it no longer pending and fails with
// kOrderNotPending, changing nothing. PAYMENTJOURNAL is created when it is missing: the first Run on a
// database in a process makes sure of it, later ones count on it (a statement less per payment), and
// one whose insert fails because the journal went away makes it again and settles anew. The order id
// goes into the SQL as a quoted literal with its quotes doubled, never verbatim.
//
// Settings, read at every Run from the registry of whoever created the object, key
// HKLM\SOFTWARE\Tessery\CCPayment (all optional):
//   "ConnectionString"   REG_SZ     the order database; default "DSN=Velmar;UID=WWWapps;PWD="
//   "DelayMilliseconds"  REG_DWORD  how long each Run waits before it settles (demos, tests)
//   "FailOrders"         REG_SZ     order ids separated by ";" (or REG_MULTI_SZ, one id per string)
//                                   whose payment is declined: Run fails with kPaymentDeclined after
//                                   the order was found pending, and the transaction is rolled back
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "interfaces/Payment.h"
#include "platform/Ado.h"
#include "platform/Registry.h"

namespace components {

inline constexpr platform::GUID kCCPaymentClsid =
    platform::GuidLiteral("{7E3F2A90-4C1B-4D8E-A5F6-3B9C0D2E1F47}");
inline constexpr std::string_view kCCPaymentSettingsKey = "SOFTWARE\\Tessery\\CCPayment";
inline constexpr std::string_view kDefaultConnectionString = "DSN=Velmar;UID=WWWapps;PWD=";

// Failures of Run besides the data source's own (E_FAIL) and the registry's (REGDB_E_READREGDB).
// The order is not pending (no row with this id and billing status 3, 4 or 5).
inline constexpr platform::HRESULT kOrderNotPending = platform::hr::Code(0x80040A01);
// The order was pending but its payment is declined (the "FailOrders" setting).
inline constexpr platform::HRESULT kPaymentDeclined = platform::hr::Code(0x80040A02);
// More than one pending row carries this id; none of them is settled, since one payment cannot
// stand for several orders.
inline constexpr platform::HRESULT kOrderAmbiguous = platform::hr::Code(0x80040A03);

// How long the loadable module keeps a closed connection for the next Run (its connections are
// pooled): longer than a cycle's pause between two payments, shorter than the pause between cycles.
inline constexpr std::chrono::seconds kConnectionIdleLimit{5};

platform::ClassRegistration CCPaymentRegistration();

// A new payment object over `registry` (its settings) and `data` (its connections); both outlive it.
platform::ComPtr<platform::IPayment> MakeCCPayment(platform::Registry& registry,
                                                   platform::ado::DataAccess& data);

// `text` as an SQL string literal: in single quotes, each quote doubled.
std::string SqlLiteral(std::string_view text);

}  // namespace components
