// Page text generation for a large page: its growth from size N = 1 to N = 2, and its time against
// reading and copying as many bytes.
//
// Size N = 1 is 2,000 return fields, 500 criteria rows, 200 user scripts and a 100 KB template;
// N = 2 doubles every one of them. The template is the demo installation's page template followed
// by HTML markup (full of "<" that starts no placeholder), read from disk through the drive mapping
// as dtchost reads it. The baseline reads a file as large as the generated page and copies it.
// Each iteration is one round (bench/Rounds.h): generation at N = 1 and N = 2 and read-and-copy at
// N = 1 and N = 2, each repeated to take some tens of milliseconds, in alternating order, timed in
// processor time of the thread. Reported, each the median over the rounds: "growth" = time(N = 2) /
// time(N = 1) of generation, with its spread (about 2 when generation grows linearly; target at most
// 3), "copy_growth" the same for read-and-copy, and "vs_copy_1", "vs_copy_2" = generation /
// read-and-copy of the same bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "CountingMessageBoxes.h"
#include "Rounds.h"
#include "Setup.h"
#include "dtc/HeaderDTC.h"
#include "platform/testing/ComClassTable.h"
#include "platform/testing/MappedDrives.h"
#include "runtime/DesignTimeControlSite.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A control with a page of size `n` on a temporary installation folder mapped as drive C.
class LargePage {
 public:
  explicit LargePage(int n) {
    std::string pattern = (fs::temp_directory_path() / "tessery-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    folder_ = pattern;
    drives_.Map('C', folder_);
    files_ = platform::OpenHostTextFiles(drives_);
    bench::SetRegistryValue(*registry_, platform::RootKey::LocalMachine, "SOFTWARE\\Tessery\\Tessery Corvane",
                            "InstallDir", platform::RegistryValue::String("c:\\install"));
    // The provider combos are filled from the reference data-provider components and the test catalog.
    bench::AddDataProviders(*registry_, components_);
    WriteTemplate(n);
    control_ = std::make_unique<dtc::HeaderDTC>(dtc::HeaderDTCServices{.messageBoxes = boxes_,
                                                                       .components = &components_,
                                                                       .registry = registry_.get(),
                                                                       .files = files_.get()});
    Configure(n);
  }
  ~LargePage() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  dtc::HeaderDTC& Control() { return *control_; }
  const fs::path& Folder() const { return folder_; }
  int MessagesShown() const { return boxes_.shown; }

 private:
  void WriteTemplate(int n) {
    const fs::path demoTemplate =
        fs::path(TESSERY_SOURCE_DIR) / "demo/install/Vistelle/include/DTC_TEMPLATE.ASP";
    std::string text = ReadFile(demoTemplate);
    const std::size_t size = static_cast<std::size_t>(n) * 100 * 1024;
    for (int row = 0; text.size() < size; ++row) {
      text += "<tr class=\"row" + std::to_string(row % 2) + "\"><td><%= <DATAPROVIDER_VARNAME>.Value(\"F" +
              std::to_string(row) + "\") %></td><td><b>&lt;" + std::to_string(row) + "&gt;</b></td></tr>\r\n";
    }
    fs::create_directories(folder_ / "install/Vistelle/include");
    std::ofstream(folder_ / "install/Vistelle/include/DTC_TEMPLATE.ASP", std::ios::binary) << text;
  }

  void Configure(int n) {
    dtc::EditorForm& ui = control_->Editor();
    ui.DataProvidersCombo.SetListIndex(0);
    ui.DRAV.LinkedDataProvidersCombo.SetListIndex(1);
    for (int i = 0; i < 20; ++i) ui.IncludeASPList.AddItem("include/functions" + std::to_string(i) + ".asp");
    const int fields = 1000 * n, rows = 250 * n, scripts = 200 * n, links = 100 * n;
    for (dtc::ProviderKind kind : dtc::kProviderKinds) {
      dtc::ProviderControls& side = ui.Side(kind);
      const bool drav = kind == dtc::ProviderKind::DRAV;
      const auto field = [&](int i) {
        return drav ? std::to_string(i) + " - FIELD" + std::to_string(i)
                    : "Object" + std::to_string(i % 7) + ".Field" + std::to_string(i);
      };
      for (int i = 0; i < fields; ++i) {
        side.SelectedFieldsList.AddItem(field(i));
        side.I18NFieldnamesList.AddItem(field(i));
        side.I18NFieldValuesList.AddItem(field(i));
        side.I18NFieldnamesList.SetSelected(i, i % 2 == 0);
        side.I18NFieldValuesList.SetSelected(i, i % 5 == 0);
        if (i % 4 == 0) side.SelectedLinkedFieldsList.AddItem(field(i));
      }
      for (int i = 0; i < 20; ++i) side.KeyFieldsCombo.AddItem("KEY" + std::to_string(i));
      platform::FlexGrid& criteria = side.CriteriaGrid;
      criteria.SetRows(rows + 2);
      const char* operators[] = {"==", "<=", ">="};
      for (int r = 1; r <= rows; ++r) {
        const std::string value = (r % 3 == 0   ? "Script"
                                   : r % 3 == 1 ? "Value"
                                                : "Function") +
                                  std::to_string(r);
        criteria.SetTextMatrix(r, 1, "KEY" + std::to_string(r % 20));
        criteria.SetTextMatrix(r, 2, operators[r % 3]);
        criteria.SetTextMatrix(r, 3, value);
        if (r % 3 != 1)
          control_->CriteriaTypes(kind).Add(value, platform::Variant(std::int32_t{r % 3 == 0 ? 2 : 1}));
      }
      platform::FlexGrid& grid = side.LinksGrid;
      grid.SetRows(links + 2);
      for (int r = 1; r <= links; ++r) {
        grid.SetTextMatrix(r, 1, field(r));
        grid.SetTextMatrix(r, 2, "LINKKEY" + std::to_string(r));
      }
    }
    for (int i = 0; i < scripts; ++i) {
      const std::string name = "Script" + std::to_string(i);
      control_->UserDefinedScripts()->Add(
          name, platform::Variant("Function " + name + "()\r\n\r\n\t" + name +
                                  " = <DATAPROVIDER_VARNAME>.Lookup(\"" + name +
                                  "\", Session(\"User\"))\r\nEnd Function '" + name + "()"));
    }
    control_->SetDesignTimeControlSite(platform::MakePageLocationSite("/shop/", "/shop/orders/list.asp"));
  }

  fs::path folder_;
  bench::CountingMessageBoxes boxes_;
  platform::testing::MappedDrives drives_;
  std::unique_ptr<platform::TextFiles> files_;
  std::unique_ptr<platform::Registry> registry_ = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable components_;
  std::unique_ptr<dtc::HeaderDTC> control_;
};

// Generations and read-and-copies per round: each case takes about 20 to 60 ms.
constexpr int kGenerations = 10;
constexpr int kCopies = 1000;

void PageText(benchmark::State& state) {
  bench::SteadyAllocator();
  LargePage pages[] = {LargePage(1), LargePage(2)};
  std::string texts[2];
  fs::path copies[2];
  for (int n = 0; n < 2; ++n) {
    texts[n] = pages[n].Control().GetRuntimeText();
    copies[n] = pages[n].Folder() / "page.asp";
    std::ofstream(copies[n], std::ios::binary) << texts[n];
  }
  auto generate = [&](int n) {
    std::string text;
    for (int i = 0; i < kGenerations; ++i) {
      platform::IgnoreResult(pages[n].Control().GetRuntimeText(text),
                             "the benchmark measures making the text, whatever it holds");
      benchmark::DoNotOptimize(text.data());
    }
  };
  auto readAndCopy = [&](int n) {
    for (int i = 0; i < kCopies; ++i) {
      std::ifstream in(copies[n], std::ios::binary);
      std::string bytes(texts[n].size(), '\0');
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      std::string copy = bytes;
      benchmark::DoNotOptimize(copy.data());
    }
  };
  bench::Ratios growth, copyGrowth, vsCopy[2];
  for (auto _ : state) {
    const std::vector<double> t = bench::TimeRound(
        state.iterations(), bench::ThreadCpuSeconds,
        {[&] { generate(0); }, [&] { generate(1); }, [&] { readAndCopy(0); }, [&] { readAndCopy(1); }});
    growth.Add(t[1] / t[0]);
    copyGrowth.Add(t[3] / t[2]);
    for (int n = 0; n < 2; ++n) vsCopy[n].Add((t[n] / kGenerations) / (t[2 + n] / kCopies));
  }
  if (pages[0].MessagesShown() + pages[1].MessagesShown() != 0)
    state.SkipWithError("generation showed messages");
  growth.Report(state, "growth");
  copyGrowth.Report(state, "copy_growth");
  vsCopy[0].Report(state, "vs_copy_1");
  vsCopy[1].Report(state, "vs_copy_2");
  state.counters["page_bytes_1"] = static_cast<double>(texts[0].size());
  state.counters["page_bytes_2"] = static_cast<double>(texts[1].size());
}
BENCHMARK(PageText)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
