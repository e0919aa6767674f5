// Page text generation from a fuzzed configuration and template, held against the plain definition.
//
// The input is a list of operations on a new control's configuration (texts of every list, grid,
// map and box the page text reads, the site's locations, the install directory, a failing template
// read), ended by the template: the rest of the input. GetRuntimeText's result, its success and its
// messages must equal those of the plain form: the same steps in the same order, each replacing its
// placeholder by walking the working text one character at a time (PlainReplace), where the control
// finds candidates with memchr. One operation compares ReplaceNoCase with PlainReplace directly on
// fuzzed texts.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "StartedControl.h"
#include "dtc/PageText.h"
#include "dtc/TextFunctions.h"
#include "runtime/DesignTimeControlSite.h"
#include "tests/support/PlainReplace.h"

namespace {

using dtc::HeaderDTC;
using dtc::ProviderKind;

constexpr char kInstallKey[] = "SOFTWARE\\Tessery\\Tessery Corvane";

using testsupport::PlainReplace;

class PageFixture {
 public:
  PageFixture() {
    platform::IgnoreResult(registry_.CreateKey(platform::RootKey::LocalMachine, kInstallKey),
                           "a fixed setup on a registry in memory");
    platform::IgnoreResult(registry_.SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                                              platform::RegistryValue::String("c:\\prog")),
                           "a fixed setup on a registry in memory");
  }

  // Applies the operations of `input` and stores the template.
  void Configure(fuzzing::ByteReader& input) {
    while (!input.AtEnd()) {
      try {
        if (Apply(input)) return;
      } catch (const platform::Error&) {
        // An operation the control's objects refuse (a duplicate key, a value out of range) changes
        // nothing; the next one follows.
      }
    }
    PutTemplate({}, false);
  }

  // Applies one operation; true once the template has been stored.
  bool Apply(fuzzing::ByteReader& input) {
    switch (input.Below(16)) {
      case 0:
        if (input.Bool()) {
          Ui().DataProvidersCombo.SetText(input.Text());
        } else {
          const auto count = static_cast<std::size_t>(Ui().DataProvidersCombo.ListCount()) + 1;
          Ui().DataProvidersCombo.SetListIndex(static_cast<std::int32_t>(input.Below(count)) - 1);
        }
        break;
      case 1:
        Side(input).KeyFieldsCombo.AddItem(input.Text());
        break;
      case 2:
        Ui().IncludeASPList.AddItem(input.Text());
        break;
      case 3:
        Ui().XSLFilenameText.SetText(input.Text());
        break;
      case 4: {
        std::string name = input.Text();
        std::string text = input.Text();
        if (!control_.UserDefinedScripts()->Exists(name))
          control_.UserDefinedScripts()->Add(std::move(name), platform::Variant(std::move(text)));
        break;
      }
      case 5:
        ReturnField(input);
        break;
      case 6:
        Criterion(input);
        break;
      case 7:
        Side(input).SelectedLinkedFieldsList.AddItem(input.Text());
        break;
      case 8:
        Link(input);
        break;
      case 9:
        Ui().EnableExtraFiltersCheck.SetValue(static_cast<std::int16_t>(input.Below(3)));
        break;
      case 10:
        if (input.Bool()) {
          std::string base = input.Text();
          control_.SetDesignTimeControlSite(platform::MakePageLocationSite(std::move(base), input.Text()));
        } else {
          control_.SetDesignTimeControlSite(nullptr);
        }
        break;
      case 11:
        InstallDir(input);
        break;
      case 12: {
        // The linked provider's name is set only by a load.
        platform::MemoryPropertyBag bag;
        bag.WriteProperty("LinkedDataProvider", platform::Variant(input.Text()));
        if (!control_.UserControl_ReadProperties(bag))
          fuzzing::Fail("a one-entry bag does not load", started_.Messages());
        break;
      }
      case 13:
        files_.FailReadsAfter(input.Byte(),
                              platform::Error(platform::err::PathFileAccessError, "Path/File access error"));
        break;
      case 14: {
        std::string text = input.Text();
        const std::string find = input.Text(), replacement = input.Text();
        const std::string expected = PlainReplace(text, find, replacement);
        dtc::ReplaceNoCase(text, find, replacement);
        fuzzing::ExpectSame("ReplaceNoCase against the plain replacement", text, expected);
        break;
      }
      default: {
        const bool missing = input.Bool();
        PutTemplate(missing ? std::string() : input.Rest(), missing);
        return true;
      }
    }
    return false;
  }

  // GetRuntimeText against the plain steps: the same text, messages and success.
  void Compare() {
    boxes_.Clear();
    std::string actual;
    const bool actualDone = control_.GetRuntimeText(actual);
    const std::string actualMessages = started_.Messages();

    boxes_.Clear();
    std::string expected;
    const bool expectedDone = PlainRuntimeText(expected);
    const std::string expectedMessages = started_.Messages();

    fuzzing::ExpectSame("the page text against the plain steps", actual, expected);
    fuzzing::ExpectSame("the messages of page text generation against the plain steps", actualMessages,
                        expectedMessages);
    if (actualDone != expectedDone) fuzzing::Fail("GetRuntimeText's success differs from the plain steps'");
  }

 private:
  dtc::EditorForm& Ui() { return control_.Editor(); }
  dtc::ProviderControls& Side(fuzzing::ByteReader& input) {
    return Ui().Side(input.Bool() ? ProviderKind::DRAV : ProviderKind::EAI);
  }
  ProviderKind Kind(fuzzing::ByteReader& input) {
    return input.Bool() ? ProviderKind::DRAV : ProviderKind::EAI;
  }

  // A return field in any of the three lists that hold it, selected or not in the translation lists.
  void ReturnField(fuzzing::ByteReader& input) {
    dtc::ProviderControls& side = Side(input);
    const std::uint8_t where = input.Byte();
    const std::string field = input.Text();
    if ((where & 1) == 0) side.SelectedFieldsList.AddItem(field);
    for (const auto& [list, listBit, selectBit] :
         {std::tuple{&side.I18NFieldnamesList, 2, 4}, std::tuple{&side.I18NFieldValuesList, 8, 16}}) {
      if ((where & listBit) != 0) continue;
      list->AddItem(field);
      list->SetSelected(list->ListCount() - 1, (where & selectBit) != 0);
    }
  }

  // A criteria row: an existing row or a new one, its key, operator and value, and maybe a value kind.
  void Criterion(fuzzing::ByteReader& input) {
    const ProviderKind kind = Kind(input);
    platform::FlexGrid& grid = Ui().Side(kind).CriteriaGrid;
    auto row = static_cast<std::int32_t>(input.Below(static_cast<std::size_t>(grid.Rows()))) + 1;
    if (row >= grid.Rows()) {
      grid.AddItem("");
      row = grid.Rows() - 1;
    }
    static const char* const kOperators[] = {"==", "<=", ">=", "", "  ", "=<"};
    grid.SetTextMatrix(row, 1, input.Text());
    const std::size_t op = input.Below(7);
    grid.SetTextMatrix(row, 2, op < 6 ? std::string(kOperators[op]) : input.Text());
    const std::string value = input.Text();
    grid.SetTextMatrix(row, 3, value);
    const std::uint8_t valueKind = input.Byte();
    platform::Dictionary& kinds = control_.CriteriaTypes(kind);
    if (valueKind < 128 && !kinds.Exists(value)) {
      // Kinds are numbers, or their text as a bag may hold them.
      kinds.Add(value, valueKind % 2 == 0 ? platform::Variant(std::int32_t{valueKind % 8 / 2})
                                          : platform::Variant(std::to_string(valueKind % 8 / 2)));
    }
  }

  void Link(fuzzing::ByteReader& input) {
    platform::FlexGrid& grid = Side(input).LinksGrid;
    auto row = static_cast<std::int32_t>(input.Below(static_cast<std::size_t>(grid.Rows()))) + 1;
    if (row >= grid.Rows()) {
      grid.AddItem("");
      row = grid.Rows() - 1;
    }
    grid.SetTextMatrix(row, 1, input.Text());
    grid.SetTextMatrix(row, 2, input.Text());
  }

  void InstallDir(fuzzing::ByteReader& input) {
    switch (input.Below(3)) {
      case 0:
        platform::IgnoreResult(registry_.SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                                                  platform::RegistryValue::String(input.Text())),
                               "a fixed setup on a registry in memory");
        break;
      case 1:
        platform::IgnoreResult(registry_.SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                                                  platform::RegistryValue::DWord(input.Byte())),
                               "a fixed setup on a registry in memory");
        break;
      default:
        platform::IgnoreResult(
            registry_.DeleteValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir"),
            "a fixed setup on a registry in memory");
        break;
    }
  }

  // Stores the template where the control looks for it (unless it is to be missing).
  void PutTemplate(std::string content, bool missing) {
    const std::string path = control_.GetInstallDir() + std::string(dtc::kPageTemplatePath);
    if (missing) return;
    try {
      files_.Put(path, std::move(content));
    } catch (const platform::Error&) {
      // A path the file system cannot hold: the template is missing.
    }
  }

  // The template's lines as GetRuntimeText reads them, each ended by CR LF.
  void ReadTemplate(std::string& text) {
    const std::string path = control_.GetInstallDir() + std::string(dtc::kPageTemplatePath);
    const auto file = files_.OpenForInput(path);
    try {
      while (!file->AtEnd()) text += file->ReadLine() + "\r\n";
    } catch (...) {
      file->Close();
      throw;
    }
    file->Close();
  }

  std::string ExtraIncludes(const std::string& root) {
    std::string text;
    for (const std::string& item : Ui().IncludeASPList.Items())
      text += "<!--#INCLUDE file =\"" + root + item + "\" -->\r\n";
    return text;
  }

  std::string Scripts() {
    const auto scripts = control_.UserDefinedScripts();
    if (!scripts) platform::Raise(91, "Object variable or With block variable not set");
    std::string text;
    for (const auto& entry : *scripts) text += entry.item.ToString() + "\r\n\r\n";
    return text;
  }

  // The steps of GetRuntimeText with the plain replacement; false when one failed.
  bool PlainRuntimeText(std::string& text) {
    const HeaderDTC& c = control_;
    try {
      ReadTemplate(text);
      const std::string root = c.GetRelativePathRoot();
      const std::vector<std::function<std::string()>> replacements = {
          [&] { return root; },
          [] { return std::string("10"); },
          [&] { return FirstItem(ProviderKind::DRAV); },
          [&] { return FirstItem(ProviderKind::EAI); },
          [&] { return Ui().DataProvidersCombo.Text(); },
          [&] { return ExtraIncludes(root); },
          [&] { return Ui().XSLFilenameText.Text(); },
          [&] { return Scripts(); },
          [&] { return c.GetKeyFieldsRuntimeText(ProviderKind::EAI); },
          [&] { return c.GetReturnFieldsRuntimeText(ProviderKind::EAI); },
          [&] { return c.GetCriteriaRuntimeText(ProviderKind::EAI); },
          [&] { return c.GetI18NFieldnamesRuntimeText(ProviderKind::EAI); },
          [&] { return c.GetI18NFieldValuesRuntimeText(ProviderKind::EAI); },
          [&] { return c.GetKeyFieldsRuntimeText(ProviderKind::DRAV); },
          [&] { return c.GetReturnFieldsRuntimeText(ProviderKind::DRAV); },
          [&] { return c.GetCriteriaRuntimeText(ProviderKind::DRAV); },
          [&] { return c.GetI18NFieldnamesRuntimeText(ProviderKind::DRAV); },
          [&] { return c.GetI18NFieldValuesRuntimeText(ProviderKind::DRAV); },
          [&] { return c.GetLinkedReturnFieldsRuntimeText(ProviderKind::EAILink); },
          [&] { return c.GetLinkedReturnFieldsRuntimeText(ProviderKind::DRAVLink); },
          [&] { return c.GetLinkedFieldsRuntimeText(ProviderKind::DRAVLink); },
          [&] { return c.GetLinkedFieldsRuntimeText(ProviderKind::EAILink); },
          [] { return std::string("mReturnFields"); },
          [] { return std::string("mReturnLinkedFields"); },
          [] { return std::string("mLinkedFields"); },
          [&] { return c.LinkedProviderName(); },
          [] { return std::string("lLinkedDataProvider"); },
          [] { return std::string("mDataProvider"); },
          [&] { return std::string(Ui().EnableExtraFiltersCheck.Value() != 0 ? "true" : "false"); },
      };
      static_assert(std::size(dtc::kPagePlaceholders) == 29);
      for (std::size_t step = 0; step < replacements.size(); ++step)
        text = PlainReplace(text, dtc::kPagePlaceholders[step], replacements[step]());
      return true;
    } catch (const platform::Error& error) {
      boxes_.Show("Error in 'IProvideRuntimeText_GetRuntimeText': " + error.Description() + "(" +
                  std::to_string(error.Number()) + ")");
      return false;
    }
  }

  std::string FirstItem(ProviderKind kind) {
    const platform::ComboBox& combo = Ui().Side(kind).KeyFieldsCombo;
    return combo.ListCount() > 0 ? combo.List(0) : std::string();
  }

  fuzzing::StartedControl started_;
  platform::testing::RecordingMessageBoxes& boxes_ = started_.boxes;
  platform::Registry& registry_ = *started_.registry;
  platform::testing::MemoryTextFiles& files_ = started_.files;
  HeaderDTC& control_ = *started_.control;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::ByteReader input(data, size);
  PageFixture page;
  page.Configure(input);
  page.Compare();
  return 0;
}
