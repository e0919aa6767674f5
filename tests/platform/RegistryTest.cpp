// The registry's contract on both backends, its text form, and the file backend's locks, modes, faults.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>

#include "../../platform/common/RegistryTree.h"
#include "platform/Registry.h"
#include "support/OtherUser.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
constexpr auto HKLM = RootKey::LocalMachine;
constexpr auto HKCR = RootKey::ClassesRoot;
constexpr int kWatchdogSeconds = 60;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "registry-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

Names FolderEntries(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

RegistryValue Typed(std::uint32_t type, std::string_view bytes) {
  RegistryValue value;
  value.type = type;
  value.data.assign(bytes.begin(), bytes.end());
  return value;
}

// ---- the contract both backends keep -----------------------------------------------------------------

struct Backend {
  std::string name;
  std::function<std::unique_ptr<Registry>(const fs::path& folder)> open;
};

class RegistryContract : public ::testing::TestWithParam<Backend> {
 protected:
  TempDir dir_;
  std::unique_ptr<Registry> reg_ = GetParam().open(dir_.Path());
};

INSTANTIATE_TEST_SUITE_P(
    Backends, RegistryContract,
    ::testing::Values(Backend{"Memory", [](const fs::path&) { return OpenMemoryRegistry(); }},
                      Backend{"File",
                              [](const fs::path& dir) { return OpenFileRegistry(dir / "registry.reg"); }}),
    [](const auto& param) { return param.param.name; });

TEST_P(RegistryContract, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
  ASSERT_EQ(reg_->CreateKey(HKLM, "Software\\Tessery\\App"), 0);
  EXPECT_EQ(reg_->CreateKey(HKLM, "SOFTWARE\\tessery"), 0);
  EXPECT_EQ(reg_->OpenKey(HKLM, "software\\TESSERY\\app"), 0);
  ASSERT_EQ(reg_->SetValue(HKLM, "Software\\Tessery\\App", "Interval", RegistryValue::DWord(5)), 0);
  ASSERT_EQ(reg_->SetValue(HKLM, "software\\tessery\\app", "INTERVAL", RegistryValue::DWord(7)), 0);

  Names names;
  ASSERT_EQ(reg_->EnumKeys(HKLM, "software", names), 0);
  EXPECT_EQ(names, Names{"Tessery"});
  ASSERT_EQ(reg_->EnumValues(HKLM, "Software\\Tessery\\App", names), 0);
  EXPECT_EQ(names, Names{"Interval"});
  RegistryValue value;
  ASSERT_EQ(reg_->QueryValue(HKLM, "SOFTWARE\\TESSERY\\APP", "interval", value), 0);
  EXPECT_EQ(value.AsDWord(), 7u);
}

TEST_P(RegistryContract, EveryValueTypeReadsBackAsStored) {
  const std::vector<std::pair<std::string, RegistryValue>> values = {
      {"", RegistryValue::String("default")},
      {"Path", RegistryValue::String("C:\\Program Files\\\"quoted\" \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80")},
      {"Empty", RegistryValue::String("")},
      {"Count", RegistryValue::DWord(0xDEADBEEF)},
      {"Blob", RegistryValue::Binary({0, 1, 0xFE, 0xFF})},
      {"NoBytes", RegistryValue::Binary({})},
      {"Expand", Typed(kRegExpandSz, std::string_view("%HOME%\\x\0", 9))},
      {"Multi", Typed(kRegMultiSz, std::string_view("one\0tw\xC3\xB6\0\0", 10))},
      {"Lines", RegistryValue::String("two\r\nlines")},
      {"NotUtf8", Typed(kRegSz, std::string_view("\xFF\xC3(\0", 4))},
      {"Unterminated", Typed(kRegSz, "abc")},
      {"ShortDword", Typed(kRegDword, "ab")},
      {"Other", Typed(11, std::string_view("\x01\x02\x03\x04\x05\x06\x07\x08", 8))},
  };
  ASSERT_EQ(reg_->CreateKey(HKCR, "Kinds"), 0);
  for (const auto& [name, value] : values) ASSERT_EQ(reg_->SetValue(HKCR, "Kinds", name, value), 0) << name;
  for (const auto& [name, value] : values) {
    RegistryValue read;
    ASSERT_EQ(reg_->QueryValue(HKCR, "Kinds", name, read), 0) << name;
    EXPECT_EQ(read, value) << name;
  }
}

TEST_P(RegistryContract, MissingKeysAndValuesAreFileNotFound) {
  ASSERT_EQ(reg_->CreateKey(HKLM, "Present"), 0);
  RegistryValue value;
  Names names;
  EXPECT_EQ(reg_->OpenKey(HKLM, "Absent"), 2);
  EXPECT_EQ(reg_->OpenKey(HKLM, ""), 0);
  EXPECT_EQ(reg_->QueryValue(HKLM, "Absent", "x", value), 2);
  EXPECT_EQ(reg_->QueryValue(HKLM, "Present", "x", value), 2);
  EXPECT_EQ(reg_->QueryValue(HKLM, "Present", "", value), 2);
  EXPECT_EQ(reg_->SetValue(HKLM, "Absent", "x", RegistryValue::DWord(1)), 2);
  EXPECT_EQ(reg_->DeleteValue(HKLM, "Present", "x"), 2);
  EXPECT_EQ(reg_->EnumKeys(HKLM, "Absent", names), 2);
  EXPECT_EQ(reg_->EnumValues(HKLM, "Absent", names), 2);
  EXPECT_EQ(reg_->DeleteKey(HKLM, "Absent"), 2);
  EXPECT_EQ(reg_->DeleteTree(HKLM, "Present\\Absent"), 2);
}

TEST_P(RegistryContract, LimitedQueryReportsMoreDataAndLeavesTheBufferAlone) {
  ASSERT_EQ(reg_->CreateKey(HKLM, "K"), 0);
  ASSERT_EQ(reg_->SetValue(HKLM, "K", "Text", RegistryValue::String("12345")), 0);  // 6 bytes with the NUL
  RegistryValue out = RegistryValue::DWord(42);
  EXPECT_EQ(QueryValueLimited(*reg_, HKLM, "K", "Text", 5, out), 234);
  EXPECT_EQ(out, RegistryValue::DWord(42));
  EXPECT_EQ(QueryValueLimited(*reg_, HKLM, "K", "Text", 6, out), 0);
  EXPECT_EQ(out.AsString(), "12345");
  EXPECT_EQ(QueryValueLimited(*reg_, HKLM, "K", "Missing", 260, out), 2);
}

TEST_P(RegistryContract, DeleteKeyRefusesSubkeysAndDeleteTreeTakesThemAll) {
  ASSERT_EQ(reg_->CreateKey(HKLM, "A\\B\\C"), 0);
  ASSERT_EQ(reg_->CreateKey(HKLM, "A\\Sibling"), 0);
  ASSERT_EQ(reg_->SetValue(HKLM, "A\\B", "v", RegistryValue::DWord(1)), 0);
  EXPECT_EQ(reg_->DeleteKey(HKLM, "A\\B"), 5);
  EXPECT_EQ(reg_->OpenKey(HKLM, "A\\B\\C"), 0);
  EXPECT_EQ(reg_->DeleteKey(HKLM, ""), 5);
  EXPECT_EQ(reg_->DeleteTree(HKLM, "a\\b"), 0);
  EXPECT_EQ(reg_->OpenKey(HKLM, "A\\B"), 2);
  EXPECT_EQ(reg_->DeleteKey(HKLM, "A\\Sibling"), 0);
  EXPECT_EQ(reg_->OpenKey(HKLM, "A"), 0);
}

TEST_P(RegistryContract, EnumerationFollowsCreationOrder) {
  for (const char* key : {"K\\b", "K\\A", "K\\c"}) ASSERT_EQ(reg_->CreateKey(HKLM, key), 0);
  for (const char* name : {"z", "", "a", "m"})
    ASSERT_EQ(reg_->SetValue(HKLM, "K", name, RegistryValue::DWord(1)), 0);
  ASSERT_EQ(reg_->DeleteValue(HKLM, "K", "z"), 0);
  ASSERT_EQ(reg_->SetValue(HKLM, "K", "z", RegistryValue::DWord(2)), 0);
  ASSERT_EQ(reg_->DeleteKey(HKLM, "K\\b"), 0);
  ASSERT_EQ(reg_->CreateKey(HKLM, "K\\b"), 0);
  Names names;
  ASSERT_EQ(reg_->EnumKeys(HKLM, "K", names), 0);
  EXPECT_EQ(names, (Names{"A", "c", "b"}));
  ASSERT_EQ(reg_->EnumValues(HKLM, "K", names), 0);
  EXPECT_EQ(names, (Names{"", "a", "m", "z"}));
}

// ---- the text form -----------------------------------------------------------------------------------

TEST(RegistryText, WritesTheExportFormWithCrlf) {
  detail::RegistryTree tree;
  tree.Create(HKCR, "CLSID\\{1}\\InprocServer32");
  EXPECT_EQ(tree.SetValue(HKCR, "CLSID\\{1}", "", RegistryValue::String("A \"B\" C:\\d")), 0);
  EXPECT_EQ(
      tree.SetValue(HKCR, "CLSID\\{1}\\InprocServer32", "ThreadingModel", RegistryValue::String("Both")), 0);
  tree.Create(HKLM, "Empty");
  EXPECT_EQ(tree.SetValue(HKLM, "", "Count", RegistryValue::DWord(10)), 0);
  tree.Create(HKLM, "Bin");
  EXPECT_EQ(tree.SetValue(HKLM, "Bin", "b", RegistryValue::Binary(std::vector<std::uint8_t>(30, 0xAB))), 0);
  EXPECT_EQ(tree.SetValue(HKLM, "Bin", "e", Typed(kRegExpandSz, std::string_view("%A%\0", 4))), 0);
  EXPECT_EQ(detail::FormatRegistryText(tree),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\CLSID\\{1}]\r\n@=\"A \\\"B\\\" C:\\\\d\"\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]\r\n\"ThreadingModel\"=\"Both\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE]\r\n\"Count\"=dword:0000000a\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Empty]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Bin]\r\n"
            "\"b\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
            "  ab,ab,ab,ab,ab,ab,ab\r\n"
            "\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n\r\n");
}

TEST(RegistryText, ReadsHandWrittenFilesWithEitherLineEnd) {
  const std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
      "; written by hand\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Tessery]\n"
      "  @ = \"root \\\"here\\\"\"  \n"
      "\"Dir\"=\"C:\\Temp\\\\x\"\n"
      "\"N\"=DWORD:1F\n"
      "\"Bytes\"=hex:01, 02,\\\n"
      "    FF,\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
      "\"Gone\"=\"x\"\n"
      "\"gone\"=-\n"
      "[HKLM\\Software\\Old\\Sub]\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\n";
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& variant : {text, crlf}) {
    detail::RegistryTree tree;
    std::string error;
    ASSERT_EQ(detail::ParseRegistryText(variant, tree, &error), 0) << error;
    RegistryValue v;
    ASSERT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "", v), 0);
    EXPECT_EQ(v.AsString(), "root \"here\"");
    ASSERT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "Dir", v), 0);
    EXPECT_EQ(v.AsString(), "C:\\Temp\\x");  // a lone backslash is kept, \\ is one backslash
    ASSERT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "N", v), 0);
    EXPECT_EQ(v, RegistryValue::DWord(31));
    ASSERT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "Bytes", v), 0);
    EXPECT_EQ(v, RegistryValue::Binary({1, 2, 0xFF}));
    ASSERT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "Multi", v), 0);
    EXPECT_EQ(v, Typed(kRegMultiSz, std::string_view("a\0b\0\0", 5)));
    EXPECT_EQ(tree.QueryValue(HKLM, "Software\\Tessery", "Gone", v), 2);
    EXPECT_EQ(tree.OpenKey(HKLM, "Software\\Old"), 2);
  }
}

TEST(RegistryText, RoundTripIsExact) {
  detail::RegistryTree tree;
  tree.Create(RootKey::CurrentUser, "a]\\[b\\-c");
  tree.Create(HKLM, "only\\subkeys\\leaf");
  EXPECT_EQ(
      tree.SetValue(HKLM, "only\\subkeys\\leaf", "\"q\\", Typed(kRegSz, std::string_view("\r\n\0\xFF", 4))),
      0);
  EXPECT_EQ(tree.SetValue(HKLM, "only\\subkeys\\leaf", "@", RegistryValue::String(" spaced ")), 0);
  EXPECT_EQ(tree.SetValue(HKLM, "only\\subkeys\\leaf", "big",
                          RegistryValue::Binary(std::vector<std::uint8_t>(200, 7))),
            0);
  EXPECT_EQ(tree.SetValue(HKLM, "only\\subkeys\\leaf", "none", Typed(kRegNone, "")), 0);
  EXPECT_EQ(
      tree.SetValue(HKLM, "only\\subkeys\\leaf", "wide", Typed(kRegExpandSz, "\xED\xA0\x80\xF4\x8F\xBF\xBF")),
      0);
  EXPECT_EQ(tree.SetValue(RootKey::Users, "", "", RegistryValue::String("tab\there")), 0);
  const std::string once = detail::FormatRegistryText(tree);
  detail::RegistryTree reread;
  std::string error;
  ASSERT_EQ(detail::ParseRegistryText(once, reread, &error), 0) << error << "\n" << once;
  EXPECT_EQ(detail::FormatRegistryText(reread), once);
  RegistryValue v;
  ASSERT_EQ(reread.QueryValue(HKLM, "only\\subkeys\\leaf", "wide", v), 0);
  EXPECT_EQ(v, Typed(kRegExpandSz, "\xED\xA0\x80\xF4\x8F\xBF\xBF"));
}

TEST(RegistryText, ErrorsNameTheLine) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"REGEDIT4\n", "line 1:"},
      {"\xFF\xFEW\0i\0", "UTF-16"},
      {header + "\"v\"=\"x\"\n", "line 2:"},
      {header + "[HKEY_NOWHERE\\x]\n", "line 2:"},
      {header + "[HKLM\\x\n", "line 2:"},
      {header + "[HKLM\\x]\n\"v\"=\"open\n", "line 3:"},
      {header + "[HKLM\\x]\n\"v\"=dword:123456789\n", "line 3:"},
      {header + "[HKLM\\x]\n\"v\"=hex:01,0g\n", "line 3:"},
      {header + "[HKLM\\x]\n\n\"v\"=hex:01,\\\n  02,\\\n", "line 5:"},
      {header + "[HKLM\\x]\n\"v\"=hex(2):41\n", "line 3:"},
      {header + "[HKLM\\x]\n\"v\"=word:1\n", "line 3:"},
      {header + "[HKLM\\x]\ngarbage\n", "line 3:"},
      {header + "[-HKLM]\n", "line 2:"},
      {header + "[-HKLM\\x]\n\"v\"=\"after a deletion\"\n", "line 3:"},
  };
  for (const auto& [text, where] : cases) {
    detail::RegistryTree tree;
    std::string error;
    EXPECT_EQ(detail::ParseRegistryText(text, tree, &error), 1015) << text;
    EXPECT_NE(error.find(where), std::string::npos) << text << " -> " << error;
  }
  detail::RegistryTree tree;
  EXPECT_EQ(detail::ParseRegistryText("\n; nothing yet\n", tree, nullptr), 0);
}

// ---- the file backend --------------------------------------------------------------------------------

class RegistryFile : public ::testing::Test {
 protected:
  TempDir dir_;
  fs::path file_ = dir_.Path() / "registry.reg";
};

TEST_F(RegistryFile, CorruptFileIsReportedAndNeverOverwritten) {
  const std::string corrupt = "Windows Registry Editor Version 5.00\r\n[HKLM\\x]\r\n\"v\"=hex:zz\r\n";
  Spit(file_, corrupt);
  auto reg = OpenFileRegistry(file_);
  RegistryValue v;
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), 1015);
  EXPECT_EQ(reg->QueryValue(HKLM, "x", "v", v), 1015);
  EXPECT_EQ(reg->CreateKey(HKLM, "y"), 1015);
  EXPECT_EQ(reg->DeleteTree(HKLM, "x"), 1015);
  EXPECT_EQ(Slurp(file_), corrupt);
}

// Reads reuse the tree parsed from the text the file held last; any change of that text, also one
// that keeps its length, is read afresh, and a file spoilt after a good read is reported.
TEST_F(RegistryFile, ReadsSeeEveryChangeOfTheFileMadeOutsideThisObject) {
  const std::string header = "Windows Registry Editor Version 5.00\r\n[HKLM\\x]\r\n";
  auto reg = OpenFileRegistry(file_);
  RegistryValue v;
  const struct {
    const char* data;
    long code;
    std::uint32_t value;
  } steps[] = {
      {"dword:00000001", 0, 1}, {"dword:00000002", 0, 2}, {"hex:zz", 1015, 0}, {"dword:00000003", 0, 3}};
  for (const auto& step : steps) {
    Spit(file_, header + "\"v\"=" + step.data + "\r\n");
    v = {};
    ASSERT_EQ(reg->QueryValue(HKLM, "x", "v", v), step.code) << step.data;
    if (step.code == 0) {
      EXPECT_EQ(v.AsDWord(), step.value) << step.data;
    }
  }
}

TEST_F(RegistryFile, ReadsNeverWriteAndUnchangedTreesAreNotRewritten) {
  auto reg = OpenFileRegistry(dir_.Path() / "new" / "folder" / "registry.reg");
  RegistryValue v;
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), 2);
  EXPECT_EQ(reg->QueryValue(HKLM, "x", "v", v), 2);
  EXPECT_EQ(reg->CreateKey(HKLM, "x"), 0);  // first change creates the folders and the file
  EXPECT_TRUE(fs::exists(dir_.Path() / "new" / "folder" / "registry.reg"));

  const std::string handWritten =
      "Windows Registry Editor Version 5.00\n; keep me\n[HKLM\\x]\n\"v\"=dword:1\n";
  Spit(file_, handWritten);
  reg = OpenFileRegistry(file_);
  EXPECT_EQ(reg->CreateKey(HKLM, "X"), 0);
  EXPECT_EQ(reg->SetValue(HKLM, "x", "V", RegistryValue::DWord(1)), 0);
  EXPECT_EQ(reg->DeleteKey(HKLM, "x\\missing"), 2);
  EXPECT_EQ(Slurp(file_), handWritten);
  EXPECT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(2)), 0);
  EXPECT_EQ(Slurp(file_),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\x]\r\n"
            "\"v\"=dword:00000002\r\n\r\n");
}

TEST_F(RegistryFile, IoFailuresAndUnwritableNames) {
  auto reg = OpenFileRegistry(file_);
  ASSERT_EQ(reg->CreateKey(HKLM, "x"), 0);
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(file_, mode);
  EXPECT_EQ(reg->SetValue(HKLM, "x", "line\nbreak", RegistryValue::DWord(1)), 87);
  EXPECT_EQ(reg->CreateKey(HKLM, "x\\cr\rkey"), 87);
  ASSERT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(1)), 0);
  EXPECT_EQ(fs::status(file_).permissions(), mode);  // rewriting keeps the file's permissions

  if (::geteuid() != 0) {  // root reads whatever the permissions say
    fs::permissions(file_, fs::perms::none);
    EXPECT_EQ(reg->OpenKey(HKLM, "x"), 5);
    fs::permissions(file_, mode);
  }
  fs::create_directory(dir_.Path() / "folder");
  auto onFolder = OpenFileRegistry(dir_.Path() / "folder");  // a folder where the file should be
  EXPECT_EQ(onFolder->OpenKey(HKLM, "x"), 1016);
}

TEST_F(RegistryFile, StaleTemporaryFilesAreClearedAndNoneIsLeft) {
  Spit(dir_.Path() / "registry.reg.tmp-99999-0", "left by a writer that died");
  auto reg = OpenFileRegistry(file_);
  ASSERT_EQ(reg->CreateKey(HKLM, "x"), 0);
  ASSERT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(1)), 0);
  EXPECT_EQ(FolderEntries(dir_.Path()), (Names{"registry.reg", "registry.reg.lock"}));
}

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// What decides what root loads is closed to others whatever the umask; an older lock file that others
// could open (and so hold: flock needs only read access) is closed when a writer next takes it.
TEST_F(RegistryFile, FilesAndFoldersItCreatesAreClosedToOthersWhateverTheUmask) {
  const mode_t umask = ::umask(0);
  const fs::path file = dir_.Path() / "var" / "tessery" / "registry.reg";
  EXPECT_EQ(OpenFileRegistry(file)->CreateKey(HKLM, "x"), 0);
  Spit(dir_.Path() / "old.reg.lock", "");
  fs::permissions(dir_.Path() / "old.reg.lock", fs::perms::all);
  Spit(dir_.Path() / "old.reg", "");
  fs::permissions(dir_.Path() / "old.reg", fs::perms::all);
  EXPECT_EQ(OpenFileRegistry(dir_.Path() / "old.reg")->CreateKey(HKLM, "x"), 0);
  ::umask(umask);
  EXPECT_EQ(ModeOf(dir_.Path() / "var"), 0755u);
  EXPECT_EQ(ModeOf(file.parent_path()), 0755u);
  EXPECT_EQ(ModeOf(file), 0644u);
  EXPECT_EQ(ModeOf(file.string() + ".lock"), 0600u);
  EXPECT_EQ(ModeOf(dir_.Path() / "old.reg.lock"), 0600u);
  EXPECT_EQ(ModeOf(dir_.Path() / "old.reg"), 0644u) << "a rewrite takes away what others may write";
}

// A lock held elsewhere ends a call after the lock wait with 33 and details naming the lock; a stop
// signal waiting for its taker ends it after a second's grace with 995. Nothing is written either way.
TEST_F(RegistryFile, AHeldLockEndsTheCallAfterTheLockWaitOrAtAStop) {
  ASSERT_EQ(OpenFileRegistry(file_)->CreateKey(HKLM, "x"), 0);
  const std::string before = Slurp(file_);
  const int holder = ::open((file_.string() + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  auto reg = OpenFileRegistry(file_, std::chrono::milliseconds(50));
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), win32::LockViolation);
  EXPECT_EQ(ErrorDescription(win32::LockViolation),
            "The registry lock " + file_.string() + ".lock stayed held by another process for 50 ms");
  EXPECT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(1)), win32::LockViolation);

  sigset_t term;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &term, &previous);
  // A stop signal pending on this thread, as a start that has not yet set up its signal thread has it.
  ::pthread_kill(::pthread_self(), SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenFileRegistry(file_, std::chrono::hours(1))->DeleteKey(HKLM, "x"), win32::OperationAborted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(kWatchdogSeconds));
  const timespec now{0, 0};
  EXPECT_EQ(::sigtimedwait(&term, nullptr, &now), SIGTERM);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(holder);
  EXPECT_EQ(Slurp(file_), before);
}

// Readers share the lock: a reader holding it keeps out writers only.
TEST_F(RegistryFile, ReadersShareTheLockAndWritersWaitForThem) {
  ASSERT_EQ(OpenFileRegistry(file_)->CreateKey(HKLM, "x"), 0);
  ASSERT_EQ(OpenFileRegistry(file_)->SetValue(HKLM, "x", "v", RegistryValue::DWord(7)), 0);
  const int reader = ::open((file_.string() + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);

  auto reg = OpenFileRegistry(file_, std::chrono::milliseconds(50));
  RegistryValue value;
  EXPECT_EQ(reg->QueryValue(HKLM, "x", "v", value), 0);
  EXPECT_EQ(value.AsDWord(), 7u);
  EXPECT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(8)), win32::LockViolation);
  ::close(reader);
  EXPECT_EQ(reg->SetValue(HKLM, "x", "v", RegistryValue::DWord(8)), 0);
}

// A registry others may write or replace is not read, nor written; a sticky folder (as /tmp) is
// trusted with a file of the user's that only the user may write.
TEST_F(RegistryFile, FoldersOthersMayWriteAreRefusedUnlessStickyWithASafeFile) {
  const fs::path folder = dir_.Path() / "shared";
  fs::create_directory(folder);
  fs::permissions(
      folder, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_read | fs::perms::others_exec);
  auto reg = OpenFileRegistry(folder / "registry.reg");
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), win32::AccessDenied);
  EXPECT_EQ(ErrorDescription(win32::AccessDenied),
            "The registry folder " + folder.string() + " is writable by group or others");
  EXPECT_EQ(reg->CreateKey(HKLM, "x"), win32::AccessDenied);
  EXPECT_FALSE(fs::exists(folder / "registry.reg"));

  fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
  EXPECT_EQ(reg->CreateKey(HKLM, "x"), 0);
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), 0);
  fs::permissions(folder / "registry.reg", fs::perms::others_write, fs::perm_options::add);
  EXPECT_EQ(reg->OpenKey(HKLM, "x"), win32::AccessDenied) << "a file others may write";

  if (const auto user = testsupport::OtherUser::Find({"nobody"})) {
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(::chown(folder.c_str(), user->uid, user->gid), 0);
    EXPECT_EQ(reg->OpenKey(HKLM, "x"), win32::AccessDenied);
    EXPECT_EQ(ErrorDescription(win32::AccessDenied), "The registry folder " + folder.string() +
                                                         " belongs to user " + std::to_string(user->uid) +
                                                         ", not to the user running the program or root");
  }
}

// Each writer adds its own values; a call that read the file before another call's write and wrote
// after it would lose that call's value. Returns the number of calls that failed.
int AddValues(const fs::path& file, const std::string& prefix, int count) {
  auto reg = OpenFileRegistry(file);
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    if (reg->SetValue(HKLM, "Shared", prefix + std::to_string(i), RegistryValue::DWord(i)) != 0) ++failures;
  }
  return failures;
}

std::size_t ValueCount(const fs::path& file) {
  Names names;
  EXPECT_EQ(OpenFileRegistry(file)->EnumValues(HKLM, "Shared", names), 0);
  return names.size();
}

// Writers of their own objects lose no update; readers sharing one object (and so the parse it
// keeps) read side by side with them, and each sees the values only ever grow.
TEST_F(RegistryFile, ConcurrentThreadsLoseNoUpdate) {
  constexpr int kEach = 40;
  ASSERT_EQ(OpenFileRegistry(file_)->CreateKey(HKLM, "Shared"), 0);
  std::vector<std::future<int>> writers, readers;
  std::atomic<bool> written{false};
  auto shared = OpenFileRegistry(file_);
  for (int i = 0; i < 2; ++i) {
    readers.push_back(std::async(std::launch::async, [&] {
      int failures = 0;
      std::size_t seen = 0;
      while (!written) {
        Names names;
        if (shared->EnumValues(HKLM, "Shared", names) != 0 || names.size() < seen) ++failures;
        seen = std::max(seen, names.size());
      }
      return failures;
    }));
  }
  for (const char* prefix : {"a", "b", "c"}) {
    writers.push_back(std::async(std::launch::async, AddValues, file_, prefix, kEach));
  }
  for (auto& writer : writers) {
    if (writer.wait_for(std::chrono::seconds(kWatchdogSeconds)) != std::future_status::ready) {
      ADD_FAILURE() << "a writer did not finish";
      std::abort();  // its thread cannot be joined
    }
    EXPECT_EQ(writer.get(), 0);
  }
  written = true;
  for (auto& reader : readers) EXPECT_EQ(reader.get(), 0);
  EXPECT_EQ(ValueCount(file_), 3u * kEach);
  EXPECT_EQ(FolderEntries(dir_.Path()), (Names{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryFile, ConcurrentProcessesLoseNoUpdate) {
  constexpr int kEach = 40;
  ASSERT_EQ(OpenFileRegistry(file_)->CreateKey(HKLM, "Shared"), 0);
  std::vector<pid_t> children;
  for (const char* prefix : {"p", "q"}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::alarm(kWatchdogSeconds);  // a child that hangs is killed, so the wait below ends
      ::_exit(AddValues(file_, prefix, kEach) == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  EXPECT_EQ(ValueCount(file_), 2u * kEach);
}

}  // namespace
}  // namespace platform
