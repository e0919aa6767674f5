// The process's setlocale (platform/linux/SetLocale.cpp), which the programs export to the libraries
// they load: a locale name it hands out stays readable while other threads set the locale, as the
// PostgreSQL ODBC driver needs when connects run on several threads.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// The driver sets LC_CTYPE from the environment; here the environment names "C.UTF-8", which the C
// library has built in. The C library keeps the name of any locale but "C" in memory it frees at the
// next call that sets the category.
constexpr const char* kLocale = "C.UTF-8";

class SetLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("LC_ALL", kLocale, 1); }
  void TearDown() override {
    if (savedEnvironment_)
      ::setenv("LC_ALL", savedEnvironment_->c_str(), 1);
    else
      ::unsetenv("LC_ALL");
    std::setlocale(LC_CTYPE, savedLocale_.c_str());
  }

 private:
  static std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }

  const std::optional<std::string> savedEnvironment_ = Environment("LC_ALL");
  const std::string savedLocale_ = std::setlocale(LC_CTYPE, nullptr);
};

TEST_F(SetLocaleTest, LoadedLibrariesCallTheProgramsSetlocale) {
  // A library the program loads (an ODBC driver) finds its symbols the way RTLD_DEFAULT does.
  EXPECT_EQ(::dlsym(RTLD_DEFAULT, "setlocale"), reinterpret_cast<void*>(&::setlocale));
}

TEST_F(SetLocaleTest, ANameHandedOutStaysReadableWhileOtherThreadsSetTheLocale) {
  const char* name = std::setlocale(LC_CTYPE, "");
  ASSERT_NE(name, nullptr);
  std::thread([] {
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_CTYPE, "C");
  }).join();
  EXPECT_STREQ(name, kLocale);

  // What the driver does on every connect, here on four threads at once: set LC_CTYPE from the
  // environment and read the name it got back.
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong] {
      for (int i = 0; i < 10000; ++i) {
        const char* got = std::setlocale(LC_CTYPE, "");
        if (got == nullptr || std::strcmp(got, kLocale) != 0) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
