// Property-bag load and save of a large page: their growth from 10,000 to 20,000 items, and their time
// against parsing and writing the same JSON with the JSON library alone.
//
// An item is a return field (half of them, on the DRAV tab, every second one marked for field-name
// translation and every fourth for field-value translation) or a criteria row (the other half, on
// the EAI tab, every third with a recorded value kind). Load is the bag file's text parsed into a bag
// and read by a new control; save is the control's configuration written to a new bag and that bag
// written as JSON text. The baselines parse the same text into the JSON library's own object (names
// kept sorted; its insertion-ordered object finds names by linear search, which is no baseline for
// 20,000 names), and write that object.
// Each iteration of BagLoad (BagSave) is one round (bench/Rounds.h): load (save) at 10,000 and 20,000
// items and JSON parse (write) at both sizes, in alternating order, timed in processor time of the
// thread. Reported, each the median over the rounds: "growth" = time(20,000) / time(10,000) of load
// (save), with its spread (about 2 when it grows linearly; target at most 3), "json_growth" the same
// for the JSON library, and "vs_json_10000", "vs_json_20000" = load / parse (save / write) of the
// same page.
#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CountingMessageBoxes.h"
#include "Rounds.h"
#include "Setup.h"
#include "dtc/HeaderDTC.h"
#include "platform/Registry.h"
#include "platform/testing/ComClassTable.h"
#include "runtime/PropertyBag.h"

namespace {

using Json = nlohmann::json;

// A control started as a host starts it: the reference data-provider components in process serve the
// test catalog, so the provider combos offer its providers.
struct Control {
  Control() {
    bench::AddDataProviders(*registry, classes);
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

constexpr int kSizes[] = {10000, 20000};

// One round's work at `items` items: the bag's and the JSON library's.
struct Work {
  std::function<void()> bag;
  std::function<void()> json;
};

// Times `work` at both sizes in rounds and reports the figures above.
void Grow(benchmark::State& state, const Work (&work)[2]) {
  bench::Ratios growth, jsonGrowth, vsJson[2];
  for (auto _ : state) {
    const std::vector<double> t = bench::TimeRound(state.iterations(), bench::ThreadCpuSeconds,
                                                   {work[0].bag, work[1].bag, work[0].json, work[1].json});
    growth.Add(t[1] / t[0]);
    jsonGrowth.Add(t[3] / t[2]);
    for (int n = 0; n < 2; ++n) vsJson[n].Add(t[n] / t[2 + n]);
  }
  growth.Report(state, "growth");
  jsonGrowth.Report(state, "json_growth");
  for (int n = 0; n < 2; ++n) vsJson[n].Report(state, "vs_json_" + std::to_string(kSizes[n]));
}

void Load(benchmark::State& state, const std::string& text) {
  platform::MemoryPropertyBag bag = platform::ParsePropertyBagJson(text);
  Control loaded;
  if (!loaded.control->UserControl_ReadProperties(bag)) state.SkipWithError("the page does not load");
  benchmark::DoNotOptimize(loaded.control->Editor().DRAV.SelectedFieldsList.ListCount());
}

void Parse(const std::string& text) {
  Json object = Json::parse(text);
  benchmark::DoNotOptimize(object.size());
}

void BagLoad(benchmark::State& state) {
  bench::SteadyAllocator();
  const std::string* texts[] = {&PageJson(kSizes[0]), &PageJson(kSizes[1])};
  Work work[2];
  for (int n = 0; n < 2; ++n) {
    work[n] = {[&, n] { Load(state, *texts[n]); }, [&, n] { Parse(*texts[n]); }};
  }
  Grow(state, work);
}

void BagSave(benchmark::State& state) {
  bench::SteadyAllocator();
  std::unique_ptr<Control> pages[2];
  Json objects[2];
  std::size_t sizes[2];
  for (int n = 0; n < 2; ++n) {
    const std::string& text = PageJson(kSizes[n]);
    sizes[n] = text.size();
    objects[n] = Json::parse(text);
    platform::MemoryPropertyBag stored = platform::ParsePropertyBagJson(text);
    pages[n] = std::make_unique<Control>();
    if (!pages[n]->control->UserControl_ReadProperties(stored)) state.SkipWithError("the page does not load");
  }
  Work work[2];
  for (int n = 0; n < 2; ++n) {
    work[n] = {[&, n] {
                 platform::MemoryPropertyBag bag;
                 if (!pages[n]->control->UserControl_WriteProperties(bag))
                   state.SkipWithError("the page does not save");
                 const std::string saved = platform::FormatPropertyBagJson(bag);
                 if (saved.size() != sizes[n])
                   state.SkipWithError("the saved page differs from the loaded one");
                 benchmark::DoNotOptimize(saved.data());
               },
               [&, n] {
                 const std::string written = objects[n].dump(2);
                 benchmark::DoNotOptimize(written.data());
               }};
  }
  Grow(state, work);
}

BENCHMARK(BagLoad)->Iterations(21)->Unit(benchmark::kMillisecond);
BENCHMARK(BagSave)->Iterations(21)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
