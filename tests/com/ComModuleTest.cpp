// Component modules through the registry: registration, creation by ProgID or class id, every failure's code.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "interfaces/Payment.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
constexpr auto HKCR = RootKey::ClassesRoot;
constexpr std::string_view kProgId = "Tessery.TestPayment";
constexpr GUID kClsid = GuidLiteral("{6B1D6F0E-3C4A-4E59-9A7B-2D1E0F3A4B5C}");
constexpr GUID kOtherIid = GuidLiteral("{11111111-2222-3333-4444-555555555555}");

std::string Text(Registry& registry, const std::string& path, std::string_view name = "") {
  RegistryValue value;
  if (registry.QueryValue(HKCR, path, name, value) != win32::Success) return "<missing>";
  return value.AsString();
}

class ComModule : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "com-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    registry_ = OpenFileRegistry(dir_ / "registry.reg");
    std::string message;
    ASSERT_EQ(RegisterModule(*registry_, TEST_MODULE, &message), hr::S_OK) << message;
    creator_ = OpenComponentCreator(*registry_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Registers a class of this test's own making whose module is `module`.
  void RegisterFake(const GUID& clsid, const std::string& progId, const std::string& module) {
    ASSERT_EQ(RegisterComClass(*registry_, {clsid, progId, "fake"}, module), hr::S_OK);
  }

  fs::path dir_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<ComponentCreator> creator_;
};

TEST_F(ComModule, RegistrationWritesTheClassKeysAndUnregistrationRemovesThem) {
  const std::string clsid = FormatGuid(kClsid);
  EXPECT_EQ(Text(*registry_, "Tessery.TestPayment\\CLSID"), clsid);
  EXPECT_EQ(Text(*registry_, "CLSID\\" + clsid), "Tessery test payment component");
  EXPECT_EQ(Text(*registry_, "CLSID\\" + clsid + "\\InprocServer32"), fs::absolute(TEST_MODULE).string());
  EXPECT_EQ(Text(*registry_, "CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_EQ(Text(*registry_, "CLSID\\" + clsid + "\\ProgID"), kProgId);

  ASSERT_EQ(UnregisterModule(*registry_, TEST_MODULE), hr::S_OK);
  EXPECT_EQ(registry_->OpenKey(HKCR, "CLSID\\" + clsid), 2);
  EXPECT_EQ(registry_->OpenKey(HKCR, "Tessery.TestPayment"), 2);
  EXPECT_EQ(UnregisterModule(*registry_, TEST_MODULE), hr::S_OK);  // nothing left to remove

  // A ProgID that another class has taken over stays with that class.
  ASSERT_EQ(RegisterModule(*registry_, TEST_MODULE), hr::S_OK);
  RegisterFake(kOtherIid, std::string(kProgId), "/elsewhere.so");
  ASSERT_EQ(UnregisterModule(*registry_, TEST_MODULE), hr::S_OK);
  EXPECT_EQ(Text(*registry_, "Tessery.TestPayment\\CLSID"), FormatGuid(kOtherIid));
}

TEST_F(ComModule, CreatedByProgIdOrClassIdWithTheCreatorsRegistry) {
  for (const std::string& name :
       {std::string(kProgId), std::string("tessery.testpayment"), FormatGuid(kClsid),
        std::string("{6b1d6f0e-3c4a-4e59-9a7b-2d1e0f3a4b5c}")}) {
    ComPtr<IPayment> payment;
    ASSERT_EQ(creator_->CreateInstance(name, CLSCTX_ALL, payment), hr::S_OK) << name;
    short result = 0;
    EXPECT_EQ(payment->Run("ORDER-1", &result), hr::S_OK);
    EXPECT_EQ(result, 7);
  }
  ASSERT_EQ(registry_->CreateKey(RootKey::LocalMachine, "Software\\Tessery\\TestPayment"), 0);
  ASSERT_EQ(registry_->SetValue(RootKey::LocalMachine, "Software\\Tessery\\TestPayment", "RunResult",
                                RegistryValue::DWord(42)),
            0);
  ComPtr<IPayment> payment;
  ASSERT_EQ(creator_->CreateInstance(kProgId, CLSCTX_INPROC_SERVER, payment), hr::S_OK);
  short result = 0;
  EXPECT_EQ(payment->Run("X", &result), hr::S_OK);
  EXPECT_EQ(result, 42);
}

TEST_F(ComModule, EveryFailureHasThePlatformsCode) {
  const GUID unknownClass = GuidLiteral("{00000000-1111-2222-3333-444444444444}");
  const GUID missingModule = GuidLiteral("{A0000000-0000-0000-0000-000000000001}");
  const GUID notAModule = GuidLiteral("{A0000000-0000-0000-0000-000000000002}");
  const GUID noEntryPoint = GuidLiteral("{A0000000-0000-0000-0000-000000000003}");
  const GUID notInModule = GuidLiteral("{A0000000-0000-0000-0000-000000000004}");
  std::ofstream(dir_ / "text.so") << "not a shared object";
  RegisterFake(missingModule, "Fake.Missing", (dir_ / "missing.so").string());
  RegisterFake(notAModule, "Fake.Text", (dir_ / "text.so").string());
  RegisterFake(noEntryPoint, "Fake.Empty", EMPTY_MODULE);
  RegisterFake(notInModule, "Fake.NotInModule", fs::absolute(TEST_MODULE).string());
  ASSERT_EQ(registry_->CreateKey(HKCR, "Fake.Broken\\CLSID"), 0);
  ASSERT_EQ(registry_->SetValue(HKCR, "Fake.Broken\\CLSID", "", RegistryValue::String("{not a class id}")),
            0);

  const struct {
    std::string name;
    std::uint32_t context;
    GUID iid;
    HRESULT expected;
  } cases[] = {
      {"Tessery.NotRegistered", CLSCTX_ALL, IPayment::kIid, hr::CO_E_CLASSSTRING},
      {"", CLSCTX_ALL, IPayment::kIid, hr::CO_E_CLASSSTRING},
      {"{6B1D6F0E-3C4A-4E59-9A7B}", CLSCTX_ALL, IPayment::kIid, hr::CO_E_CLASSSTRING},
      {"Fake.Broken", CLSCTX_ALL, IPayment::kIid, hr::CO_E_CLASSSTRING},
      {FormatGuid(unknownClass), CLSCTX_ALL, IPayment::kIid, hr::REGDB_E_CLASSNOTREG},
      {std::string(kProgId), CLSCTX_LOCAL_SERVER, IPayment::kIid, hr::REGDB_E_CLASSNOTREG},
      {"Fake.Missing", CLSCTX_ALL, IPayment::kIid, hr::CO_E_DLLNOTFOUND},
      {"Fake.Text", CLSCTX_ALL, IPayment::kIid, hr::CO_E_ERRORINDLL},
      {"Fake.Empty", CLSCTX_ALL, IPayment::kIid, hr::CO_E_ERRORINDLL},
      {"Fake.NotInModule", CLSCTX_ALL, IPayment::kIid, hr::CLASS_E_CLASSNOTAVAILABLE},
      {std::string(kProgId), CLSCTX_ALL, kOtherIid, hr::E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    void* out = &out;
    EXPECT_EQ(creator_->CreateInstance(c.name, c.context, c.iid, &out), c.expected) << c.name;
    EXPECT_EQ(out, nullptr) << c.name;
  }

  std::ofstream(dir_ / "registry.reg", std::ios::app) << "garbage\r\n";
  ComPtr<IPayment> payment;
  EXPECT_EQ(creator_->CreateInstance(kProgId, CLSCTX_ALL, payment), hr::REGDB_E_READREGDB);
}

TEST_F(ComModule, RegistrationFailuresSayWhy) {
  std::string message;
  EXPECT_EQ(RegisterModule(*registry_, dir_ / "missing.so", &message), hr::CO_E_DLLNOTFOUND);
  EXPECT_NE(message.find("missing.so"), std::string::npos) << message;
  EXPECT_EQ(RegisterModule(*registry_, EMPTY_MODULE, &message), hr::CO_E_ERRORINDLL);
  EXPECT_NE(message.find("does not export DllRegisterServer"), std::string::npos) << message;
  EXPECT_EQ(UnregisterModule(*registry_, EMPTY_MODULE, &message), hr::CO_E_ERRORINDLL);
  EXPECT_NE(message.find("DllUnregisterServer"), std::string::npos) << message;

  std::ofstream(dir_ / "registry.reg", std::ios::app) << "garbage\r\n";
  EXPECT_EQ(RegisterModule(*registry_, TEST_MODULE, &message), HResultFromWin32(win32::RegistryCorrupt));
  EXPECT_NE(message.find("corrupt"), std::string::npos) << message;
}

TEST_F(ComModule, ThreadsCreateAndCallAtOnce) {
  std::vector<std::future<int>> workers;
  for (int t = 0; t < 4; ++t) {
    workers.push_back(std::async(std::launch::async, [this] {
      int good = 0;
      for (int i = 0; i < 10; ++i) {
        ComPtr<IPayment> payment;
        short result = 0;
        if (creator_->CreateInstance(kProgId, CLSCTX_ALL, payment) == hr::S_OK &&
            payment->Run("1234", &result) == hr::S_OK && result == 4) {
          ++good;
        }
      }
      return good;
    }));
  }
  for (auto& worker : workers) {
    if (worker.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "a worker did not finish";
      std::abort();  // its thread cannot be joined
    }
    EXPECT_EQ(worker.get(), 10);
  }
}

}  // namespace
}  // namespace platform
