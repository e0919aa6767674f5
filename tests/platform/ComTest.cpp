// Components: GUID text, HRESULTs, reference counts and factories, and the class table's injected faults.
#include <gtest/gtest.h>

#include <stdexcept>
#include <unordered_set>

#include "interfaces/Payment.h"
#include "platform/testing/ComClassTable.h"

namespace platform {
namespace {

using testing::ComClassTable;
using testing::ComStep;

constexpr GUID kClsid = GuidLiteral("{0C03353B-FDDC-11D4-993C-0008C711C445}");

TEST(Guid, ReadsAndWritesTheBracedForm) {
  EXPECT_EQ(kClsid.Data1, 0x0C03353Bu);
  EXPECT_EQ(kClsid.Data2, 0xFDDC);
  EXPECT_EQ(kClsid.Data4[0], 0x99);
  EXPECT_EQ(kClsid.Data4[7], 0x45);
  EXPECT_EQ(FormatGuid(kClsid), "{0C03353B-FDDC-11D4-993C-0008C711C445}");
  EXPECT_EQ(ParseGuid("{1a619104-b56e-11d4-a7b8-0008c711c445}"),
            ParseGuid("{1A619104-B56E-11d4-A7B8-0008C711C445}"));
  for (std::string_view bad :
       {"", "0C03353B-FDDC-11D4-993C-0008C711C445", "{0C03353B-FDDC-11D4-993C-0008C711C44}",
        "{0C03353B-FDDC-11D4-993C-0008C711C4456}", "{0C03353BFDDC-11D4-993C-0008C711C4456}",
        "{0C03353B-FDDC-11D4-993C-0008C711C44G}", "(0C03353B-FDDC-11D4-993C-0008C711C445)"}) {
    EXPECT_FALSE(ParseGuid(bad)) << bad;
  }
  std::unordered_set<GUID> set{kClsid, *ParseGuid(FormatGuid(kClsid)), IUnknown::kIid};
  EXPECT_EQ(set.size(), 2u);
}

TEST(HResult, TextsAndSuccess) {
  EXPECT_TRUE(Succeeded(hr::S_FALSE));
  EXPECT_TRUE(Failed(hr::REGDB_E_CLASSNOTREG));
  EXPECT_EQ(HResultText(hr::REGDB_E_CLASSNOTREG), "Class not registered");
  EXPECT_EQ(HResultText(HResultFromWin32(win32::AccessDenied)), "Access is denied.");
  EXPECT_EQ(HResultText(hr::Code(0x8123ABCD)), "Error 0x8123ABCD");
}

// An object with two interfaces that says when it is destroyed.
class ICounter : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{5E0C1A11-0000-4000-8000-000000000001}");
  virtual int Next() = 0;

 protected:
  ~ICounter() = default;
};

class Both final : public ComObject<IPayment, ICounter> {
 public:
  explicit Both(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ~Both() override {
    if (destroyed_ != nullptr) *destroyed_ = true;
  }
  HRESULT Run(std::string_view orderId, short* result) override {
    *result = static_cast<short>(orderId.size());
    return hr::S_OK;
  }
  int Next() override { return ++count_; }

 private:
  bool* destroyed_;
  int count_ = 0;
};

TEST(ComObject, CountsReferencesAndAnswersItsInterfaces) {
  bool destroyed = false;
  {
    ComPtr<Both> object = MakeComObject<Both>(&destroyed);
    ComPtr<ICounter> counter;
    ASSERT_EQ(object.As(counter), hr::S_OK);
    ComPtr<IUnknown> viaPayment, viaCounter;
    ASSERT_EQ(object.As(viaPayment), hr::S_OK);
    ASSERT_EQ(counter.As(viaCounter), hr::S_OK);
    EXPECT_EQ(viaPayment.Get(), viaCounter.Get());  // one identity whichever interface is asked

    void* out = &out;
    EXPECT_EQ(object->QueryInterface(IClassFactory::kIid, &out), hr::E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->QueryInterface(ICounter::kIid, nullptr), hr::E_POINTER);

    ComPtr<ICounter> copy = counter;
    ComPtr<ICounter> moved = std::move(copy);
    EXPECT_FALSE(copy);  // NOLINT(bugprone-use-after-move): a moved-from ComPtr is empty
    EXPECT_EQ(moved->Next(), 1);
    EXPECT_EQ(object->AddRef(), 6u);  // object, counter, two IUnknowns, moved, and this one
    auto adopted = ComPtr<Both>::Adopt(object.Get());
    *counter.Put() = nullptr;  // Put releases what it held
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

TEST(ComObject, FactoriesRefuseAggregationAndTurnExceptionsIntoHResults) {
  auto throwing = MakeComObject<FunctionClassFactory>(
      [](const GUID&, void**) -> HRESULT { throw std::runtime_error("component fault"); });
  auto exhausted =
      MakeComObject<FunctionClassFactory>([](const GUID&, void**) -> HRESULT { throw std::bad_alloc(); });
  auto plain = MakeComObject<FunctionClassFactory>(CreateFunctionFor<Both>());
  void* out = nullptr;
  EXPECT_EQ(throwing->CreateInstance(nullptr, IUnknown::kIid, &out), hr::E_FAIL);
  EXPECT_EQ(exhausted->CreateInstance(nullptr, IUnknown::kIid, &out), hr::E_OUTOFMEMORY);
  EXPECT_EQ(plain->CreateInstance(plain.Get(), IUnknown::kIid, &out), hr::CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
}

TEST(ComClassTable, CreatesRegisteredClassesByProgIdOrClassId) {
  ComClassTable table;
  table.Register<Both>(kPaymentProgId, kClsid);
  ComPtr<IPayment> payment;
  ASSERT_EQ(table.CreateInstance("cvorderprocess.ccpayment", CLSCTX_ALL, payment), hr::S_OK);
  short result = 0;
  EXPECT_EQ(payment->Run("12345", &result), hr::S_OK);
  EXPECT_EQ(result, 5);
  ComPtr<ICounter> counter;
  EXPECT_EQ(table.CreateInstance(FormatGuid(kClsid), CLSCTX_ALL, counter), hr::S_OK);
  EXPECT_EQ(table.CreatedCount(), 2);
  EXPECT_EQ(table.CreateInstance("Other.Class", CLSCTX_ALL, payment), hr::CO_E_CLASSSTRING);
  EXPECT_EQ(table.CreateInstance(FormatGuid(IUnknown::kIid), CLSCTX_ALL, payment), hr::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(table.CreateInstance(kPaymentProgId, CLSCTX_LOCAL_SERVER, payment), hr::REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(payment);
}

TEST(ComClassTable, InjectedFaultsCountDownOnceOrForGood) {
  ComClassTable table;
  table.Register<Both>(kPaymentProgId, kClsid);
  ComPtr<IPayment> payment;
  auto create = [&] { return table.CreateInstance(kPaymentProgId, CLSCTX_ALL, payment); };

  table.InjectFault(ComStep::Creation, hr::E_OUTOFMEMORY, 2);
  EXPECT_EQ(create(), hr::S_OK);
  EXPECT_EQ(create(), hr::S_OK);
  EXPECT_EQ(create(), hr::E_OUTOFMEMORY);
  EXPECT_FALSE(payment);
  EXPECT_EQ(create(), hr::S_OK);

  table.InjectFault(ComStep::ClassIdLookup, hr::REGDB_E_READREGDB, 0, true);
  EXPECT_EQ(create(), hr::REGDB_E_READREGDB);
  EXPECT_EQ(create(), hr::REGDB_E_READREGDB);
  EXPECT_EQ(table.CreateInstance(FormatGuid(kClsid), CLSCTX_ALL, payment), hr::S_OK);  // no lookup needed

  table.ClearFaults();
  table.InjectFault(ComStep::ClassObject, hr::CO_E_DLLNOTFOUND);
  EXPECT_EQ(create(), hr::CO_E_DLLNOTFOUND);
  EXPECT_EQ(create(), hr::S_OK);
  EXPECT_EQ(table.CreatedCount(), 5);
}

}  // namespace
}  // namespace platform
