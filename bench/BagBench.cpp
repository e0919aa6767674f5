// Property-bag load and save of a large page, at 10,000 and 20,000 items, against parsing and writing
// the same JSON with the JSON library alone in the same run.
//
// An item is a return field (half of them, on the DRAV tab, every second one marked for field-name
// translation and every fourth for field-value translation) or a criteria row (the other half, on
// the EAI tab, every third with a recorded value kind). Load is the bag file's text parsed into a bag
// and read by a new control; save is the control's configuration written to a new bag and that bag
// written as JSON text. The baselines parse the same text into the JSON library's own object (names
// kept sorted; its insertion-ordered object finds names by linear search, which is no baseline for
// 20,000 names), and write that object.
// After the runs the program prints, per size, load / parse and save / write, and the growth
// time(20,000) / time(10,000) of each, which stays about 2 when load and save grow linearly (CPU
// time; the median of the runs with --benchmark_repetitions, which scripts/bench passes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CountingMessageBoxes.h"
#include "components/DataProviderComponents.h"
#include "dtc/HeaderDTC.h"
#include "interfaces/DataProviders.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "runtime/PropertyBag.h"

namespace {

using Json = nlohmann::json;

// A control started as a host starts it: the reference data-provider components in process serve the
// test catalog, so the provider combos offer its providers.
struct Control {
  Control() {
    registry->CreateKey(platform::RootKey::LocalMachine, components::kDataProvidersKey);
    registry->SetValue(platform::RootKey::LocalMachine, components::kDataProvidersKey,
                       components::kCatalogFileValue,
                       platform::RegistryValue::String(TESSERY_SOURCE_DIR "/tests/data/dataproviders.json"));
    for (const platform::GUID& clsid :
         {platform::kDataProviderCatalogClsid, platform::kDRAVProviderSourceClsid,
          platform::kEAIProviderSourceClsid}) {
      classes.Register("", clsid, components::DataProviderCreateFunction(clsid, *registry));
    }
    control = std::make_unique<dtc::HeaderDTC>(
        dtc::HeaderDTCServices{.messageBoxes = boxes, .components = &classes, .registry = registry.get()});
  }

  bench::CountingMessageBoxes boxes;
  std::unique_ptr<platform::Registry> registry = platform::OpenMemoryRegistry();
  platform::testing::ComClassTable classes;
  std::unique_ptr<dtc::HeaderDTC> control;
};

void Configure(dtc::HeaderDTC& control, int items) {
  dtc::EditorForm& ui = control.Editor();
  ui.DataProvidersCombo.SetListIndex(0);
  dtc::ProviderControls& drav = ui.Side(dtc::ProviderKind::DRAV);
  for (int i = 0; i < items / 2; ++i) {
    const std::string field = std::to_string(i) + " - FIELD" + std::to_string(i);
    drav.SelectedFieldsList.AddItem(field);
    drav.I18NFieldnamesList.AddItem(field);
    drav.I18NFieldValuesList.AddItem(field);
    drav.FromLinkFieldsCombo.AddItem(field);
    drav.I18NFieldnamesList.SetSelected(i, i % 2 == 0);
    drav.I18NFieldValuesList.SetSelected(i, i % 4 == 0);
  }
  dtc::ProviderControls& eai = ui.Side(dtc::ProviderKind::EAI);
  const int rows = items - items / 2;
  eai.CriteriaGrid.SetRows(rows + 2);
  const char* operators[] = {"==", "<=", ">="};
  for (int r = 1; r <= rows; ++r) {
    const std::string value = "Value" + std::to_string(r);
    eai.CriteriaGrid.SetTextMatrix(r, 1, "Object.Key" + std::to_string(r % 50));
    eai.CriteriaGrid.SetTextMatrix(r, 2, operators[r % 3]);
    eai.CriteriaGrid.SetTextMatrix(r, 3, value);
    if (r % 3 == 0)
      control.CriteriaTypes(dtc::ProviderKind::EAI).Add(value, platform::Variant(std::int32_t{1}));
  }
}

// The bag file's text of a page with `items` items.
const std::string& PageJson(int items) {
  static std::map<int, std::string> texts;
  auto& text = texts[items];
  if (text.empty()) {
    Control page;
    Configure(*page.control, items);
    platform::MemoryPropertyBag bag;
    if (!page.control->UserControl_WriteProperties(bag)) throw std::runtime_error("the page does not save");
    text = platform::FormatPropertyBagJson(bag);
  }
  return text;
}

void BagLoad(benchmark::State& state) {
  const std::string& text = PageJson(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    platform::MemoryPropertyBag bag = platform::ParsePropertyBagJson(text);
    Control loaded;
    if (!loaded.control->UserControl_ReadProperties(bag)) state.SkipWithError("the page does not load");
    benchmark::DoNotOptimize(loaded.control->Editor().DRAV.SelectedFieldsList.ListCount());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BagSave(benchmark::State& state) {
  const std::string& text = PageJson(static_cast<int>(state.range(0)));
  platform::MemoryPropertyBag stored = platform::ParsePropertyBagJson(text);
  Control page;
  if (!page.control->UserControl_ReadProperties(stored)) state.SkipWithError("the page does not load");
  for (auto _ : state) {
    platform::MemoryPropertyBag bag;
    if (!page.control->UserControl_WriteProperties(bag)) state.SkipWithError("the page does not save");
    const std::string saved = platform::FormatPropertyBagJson(bag);
    if (saved.size() != text.size()) state.SkipWithError("the saved page differs from the loaded one");
    benchmark::DoNotOptimize(saved.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void JsonParse(benchmark::State& state) {
  const std::string& text = PageJson(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Json object = Json::parse(text);
    benchmark::DoNotOptimize(object.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void JsonWrite(benchmark::State& state) {
  const std::string& text = PageJson(static_cast<int>(state.range(0)));
  const Json object = Json::parse(text);
  for (auto _ : state) {
    const std::string written = object.dump(2);
    benchmark::DoNotOptimize(written.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

#define BAG_BENCHMARK(function) BENCHMARK(function)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)
BAG_BENCHMARK(BagLoad);
BAG_BENCHMARK(BagSave);
BAG_BENCHMARK(JsonParse);
BAG_BENCHMARK(JsonWrite);

// Prints the ratios once every run is in.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so logs that scripts/bench reads stay plain text.
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_None) {}

  // CPU time: the work is single-threaded and in memory, and a shared machine's other load shows in
  // wall time most. With repetitions the median counts.
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[name] = run.GetAdjustedCPUTime();
      } else if (run.run_type == Run::RT_Iteration) {
        times_[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto time = [&](const std::string& name) {
      if (const auto median = medians_.find(name); median != medians_.end()) return median->second;
      const auto it = times_.find(name);
      return it == times_.end() ? 0.0 : it->second;
    };
    const auto ratio = [&](const std::string& a, const std::string& b) {
      return time(a) > 0 && time(b) > 0 ? time(a) / time(b) : 0.0;
    };
    std::printf("\n");
    for (const char* n : {"10000", "20000"}) {
      const std::string size = std::string("/") + n;
      std::printf("items=%s: load / JSON parse = %.1f, save / JSON write = %.1f\n", n,
                  ratio("BagLoad" + size, "JsonParse" + size), ratio("BagSave" + size, "JsonWrite" + size));
    }
    std::printf(
        "growth 20000 / 10000: load %.2f, save %.2f, JSON parse %.2f, JSON write %.2f (linear: about 2)\n",
        ratio("BagLoad/20000", "BagLoad/10000"), ratio("BagSave/20000", "BagSave/10000"),
        ratio("JsonParse/20000", "JsonParse/10000"), ratio("JsonWrite/20000", "JsonWrite/10000"));
  }

 private:
  std::map<std::string, double> times_, medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
