// Saving and loading HeaderDTC's configuration in the container's property bag.
//
// Names are a fixed prefix followed at once by unpadded decimal numbers: a list position i from 0
// ("DRAVReturnFields0"), a grid row and column from 1 ("DRAVCriteria1_3"), a links-grid row from 1
// ("DRAVLinkFromFields1"), a running number k from 0 over the selected items of a translation list,
// and a running number n from 1 over a map's entries. A map entry is two values: prefix + n holds
// the key K, prefix + K holds the value. Each value has a write default (a value equal to it is not
// stored) and a read default (what a name that is not stored reads as).
//
// Two cases this format cannot tell apart on its own are kept apart here, without changing the name
// of any ordinary entry:
//
//  * A map key made of decimal digits ("2") puts its value under prefix + "2", the name of the
//    second entry's key. Load reads entry names prefix + n for n up to the map's count (scripts) or
//    up to the criteria rows (value kinds), so a key that is a positive decimal number without
//    leading zeros and not above that bound has its value stored under "#" + prefix + key instead,
//    always, whatever its value. No other name starts with "#". Load looks there first and falls
//    back to prefix + key, so bags written before keep loading as they did; every other key,
//    larger numbers included, keeps its ordinary name.
//
//  * A links grid with only its entry row stores no row count (1 is the count's write default), so
//    a link typed into that row would not be read back. Load therefore reads row 1's From and To
//    cells even when no count is stored, with "" as their read default (a bag without link entries
//    still loads an empty row), and save stores row 1's cells whenever the count is 1, so a cell
//    holding "0" survives too.
#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "dtc/HeaderDTC.h"

namespace dtc {
namespace {

using platform::Dictionary;
using platform::PropertyBag;
using platform::Variant;

std::string Name(std::string_view prefix, std::int64_t n) {
  std::string name(prefix);
  name += std::to_string(n);
  return name;
}

std::string Name(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string name(a);
  name.append(b).append(c);
  return name;
}

// A key whose value name prefix + key is the name of an entry number n (1 <= n <= lastEntry) that
// load reads as an entry's key.
bool CollidesWithEntryName(std::string_view key, std::int64_t lastEntry) {
  if (key.empty() || key.size() > 10 || key.front() < '1' || key.front() > '9') return false;
  std::int64_t n = 0;
  for (char ch : key) {
    if (ch < '0' || ch > '9') return false;
    n = n * 10 + (ch - '0');
  }
  return n <= lastEntry;
}

// Any key that looks like an entry number may have been stored under the "#" form.
bool MayBeStoredApart(std::string_view key) {
  return CollidesWithEntryName(key, std::numeric_limits<std::int64_t>::max());
}

std::int16_t Count16(std::int32_t count) {
  return Variant(count).ToInteger();
}

void WriteList(PropertyBag& bag, std::string_view prefix, const platform::ItemList& list,
               const Variant& writeDefault) {
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    bag.WriteProperty(Name(prefix, i), Variant(list.List(i)), writeDefault);
  }
}

void WriteSelection(PropertyBag& bag, std::string_view prefix, const platform::ListBox& list) {
  std::int32_t k = 0;
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    if (list.Selected(i)) bag.WriteProperty(Name(prefix, k++), Variant(list.List(i)), Variant("0"));
  }
}

// Writes a map's entries under `prefix`; `valueDefault` is the write default of a value, and load
// will read entry names up to `lastEntryRead`.
void WriteMap(PropertyBag& bag, std::string_view prefix, const Dictionary& map, const Variant& valueDefault,
              std::int64_t lastEntryRead) {
  std::int32_t n = 1;
  for (const Dictionary::Entry& entry : map) {
    bag.WriteProperty(Name(prefix, n++), Variant(entry.key), Variant(""));
    if (CollidesWithEntryName(entry.key, std::max<std::int64_t>(lastEntryRead, map.Count()))) {
      // Stored always, so that load never falls back to the entry name it would collide with.
      const Variant value = entry.item.IsEmpty() ? valueDefault : entry.item;
      bag.WriteProperty(Name("#", prefix, entry.key), value);
    } else {
      bag.WriteProperty(Name(prefix, entry.key), entry.item, valueDefault);
    }
  }
}

Variant ReadMapValue(PropertyBag& bag, std::string_view prefix, const std::string& key,
                     const Variant& readDefault) {
  if (MayBeStoredApart(key)) {
    Variant value = bag.ReadProperty(Name("#", prefix, key));
    if (!value.IsEmpty()) return value;
  }
  return bag.ReadProperty(Name(prefix, key), readDefault);
}

// Fills `list` by position from the elements prefix + i, i from 0 to count - 1.
void ReadListByPosition(PropertyBag& bag, std::string_view prefix, std::int32_t count,
                        platform::ItemList& list, const Variant& readDefault) {
  for (std::int32_t i = 0; i < count; ++i) {
    list.SetList(i, bag.ReadProperty(Name(prefix, i), readDefault).ToString());
  }
}

// Marks every item equal to a stored selected text. The items' positions are looked up by text, so
// that a long list is walked once and not once per stored text; items are marked in the same order.
void ReadSelection(PropertyBag& bag, std::string_view countName, std::string_view prefix,
                   platform::ListBox& list) {
  const std::int16_t n = bag.ReadProperty(countName, Variant(std::int16_t{0})).ToInteger();
  std::unordered_map<std::string, std::vector<std::int32_t>> positions;
  if (n > 0) {
    for (std::int32_t i = 0; i < list.ListCount(); ++i) positions[list.List(i)].push_back(i);
  }
  for (std::int16_t k = 0; k < n; ++k) {
    const std::string stored = bag.ReadProperty(Name(prefix, k), Variant("0")).ToString();
    if (const auto found = positions.find(stored); found != positions.end()) {
      for (const std::int32_t i : found->second) list.SetSelected(i, true);
    }
  }
}

// Selects the first item equal to `text`; false when the combo offers none.
bool SelectFirst(platform::ComboBox& combo, const std::string& text) {
  for (std::int32_t i = 0; i < combo.ListCount(); ++i) {
    if (combo.List(i) == text) {
      combo.SetListIndex(i);
      return true;
    }
  }
  return false;
}

// A stored provider that a provider combo does not offer (the catalog no longer lists it, or the
// data-provider components are missing) becomes the combo's text with no item selected. The combo's
// list stays what the catalog offers, while save and the page text keep the page's provider; the
// designer replaces it by choosing another. The designer is told once per provider name.
class UnofferedProviders {
 public:
  explicit UnofferedProviders(platform::MessageBoxes& boxes) : boxes_(boxes) {}

  void Keep(platform::ComboBox& combo, const std::string& name) {
    combo.SetText(name);
    if (std::find(told_.begin(), told_.end(), name) != told_.end()) return;
    told_.push_back(name);
    boxes_.Show(
        "Data provider '" + name + "' is not installed; the page keeps it until another one is chosen",
        platform::mb::OKOnly | platform::mb::Information);
  }

 private:
  platform::MessageBoxes& boxes_;
  std::vector<std::string> told_;
};

// A list stored as a count and its items, e.g. "NrOf" + "DRAV" + "ToLinkKeyFields" and
// "DRAV" + "ToLinkKeyFields" + i.
struct CountedList {
  const char* countBefore;  // count name: countBefore + kind prefix + countAfter
  const char* countAfter;
  const char* items;  // item names: kind prefix + items + i
  platform::ItemList& (*list)(const ProviderControls&);
};

constexpr CountedList kAvailableFields{
    "", "AvailableFieldsCount", "AvailableFields",
    [](const ProviderControls& s) -> platform::ItemList& { return s.FieldsList; }};
constexpr CountedList kKeyFields{
    "", "KeyFieldsCount", "KeyFieldnames",
    [](const ProviderControls& s) -> platform::ItemList& { return s.KeyFieldsCombo; }};
constexpr CountedList kLinkedFields{
    "NrOf", "AvailableFieldsLinked", "AvailableFieldsLinked",
    [](const ProviderControls& s) -> platform::ItemList& { return s.LinkedFieldsList; }};
constexpr CountedList kSelectedLinkedFields{
    "NrOfSelected", "LinkedFields", "SelectedLinkedFields",
    [](const ProviderControls& s) -> platform::ItemList& { return s.SelectedLinkedFieldsList; }};
constexpr CountedList kToLinkKeyFields{
    "NrOf", "ToLinkKeyFields", "ToLinkKeyFields",
    [](const ProviderControls& s) -> platform::ItemList& { return s.ToLinkFieldsCombo; }};

std::string CountName(const CountedList& c, const ProviderControls& s) {
  return Name(c.countBefore, s.prefix, c.countAfter);
}

void WriteCounts(PropertyBag& bag, const EditorForm& ui, const CountedList& c, const Variant& countDefault) {
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = ui.Side(kind);
    bag.WriteProperty(CountName(c, s), Variant(Count16(c.list(s).ListCount())), countDefault);
  }
}

void WriteItems(PropertyBag& bag, const EditorForm& ui, const CountedList& c,
                std::initializer_list<ProviderKind> order = {ProviderKind::DRAV, ProviderKind::EAI}) {
  for (ProviderKind kind : order) {
    const ProviderControls& s = ui.Side(kind);
    WriteList(bag, Name(s.prefix, c.items), c.list(s), Variant("0"));
  }
}

// Reads a count and fills the list by position, for DRAV and then EAI.
void ReadCountedLists(PropertyBag& bag, const EditorForm& ui, const CountedList& c) {
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = ui.Side(kind);
    const std::int16_t n = bag.ReadProperty(CountName(c, s), Variant(std::int16_t{0})).ToInteger();
    ReadListByPosition(bag, Name(s.prefix, c.items), n, c.list(s), Variant("0"));
  }
}

// The field-name (values = false) or field-value translation list of one kind.
platform::ListBox& TranslationList(const ProviderControls& s, bool values) {
  return values ? s.I18NFieldValuesList : s.I18NFieldnamesList;
}

std::string TranslationName(bool values) {
  return values ? "I18NFieldValues" : "I18NFieldnames";
}

const Variant kZero16(std::int16_t{0});
const Variant kText0("0");
const Variant kEmptyText("");

}  // namespace

void HeaderDTC::SaveConfiguration(PropertyBag& bag) {
  bag.WriteProperty("EnableExtraFilters", Variant(context_.ui.EnableExtraFiltersCheck.Value()),
                    Variant(false));

  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = context_.ui.Side(kind);
    WriteList(bag, Name(s.prefix, "ReturnFields"), s.SelectedFieldsList, kEmptyText);
  }
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = context_.ui.Side(kind);
    const platform::FlexGrid& grid = s.CriteriaGrid;
    for (std::int32_t r = 1; r < grid.Rows(); ++r) {
      for (std::int32_t c = 1; c < grid.Cols(); ++c) {
        bag.WriteProperty(Name(s.prefix, "Criteria", std::to_string(r) + "_" + std::to_string(c)),
                          Variant(grid.TextArray(CriteriaCellIndex(r, c))), kEmptyText);
      }
    }
  }

  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = context_.ui.Side(kind);
    bag.WriteProperty(Name(s.prefix, "CriteriaCount"), Variant(s.CriteriaGrid.Rows()), Variant(0));
  }
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = context_.ui.Side(kind);
    bag.WriteProperty(Name(s.prefix, "ReturnFieldCount"), Variant(Count16(s.SelectedFieldsList.ListCount())),
                      Variant(0));
  }
  bag.WriteProperty("DataProvider", Variant(context_.ui.DataProvidersCombo.Text()), kEmptyText);
  WriteCounts(bag, context_.ui, kAvailableFields, Variant(0));

  WriteItems(bag, context_.ui, kAvailableFields);
  WriteCounts(bag, context_.ui, kKeyFields, Variant(0));
  WriteItems(bag, context_.ui, kKeyFields);

  bag.WriteProperty("NrOfUserDefinedScripts", Variant(context_.userDefinedScripts->Count()), Variant(0));
  bag.WriteProperty("NrOfExtraIncludes", Variant(Count16(context_.ui.IncludeASPList.ListCount())),
                    Variant(0));

  WriteMap(bag, "UserDefinedScript", *context_.userDefinedScripts, kEmptyText,
           context_.userDefinedScripts->Count());
  for (ProviderKind kind : kProviderKinds) {
    WriteMap(bag, Name(KindPrefix(kind), "CriteriaType"), CriteriaTypes(kind), Variant(0),
             context_.ui.Side(kind).CriteriaGrid.Rows() - 1);
  }

  WriteList(bag, "ExtraIncludes", context_.ui.IncludeASPList, kText0);
  bag.WriteProperty("XSLFilename", Variant(context_.ui.XSLFilenameText.Text()), kText0);

  for (bool values : {false, true}) {
    for (ProviderKind kind : kProviderKinds) {
      const ProviderControls& s = context_.ui.Side(kind);
      bag.WriteProperty(Name("NrOf", s.prefix, TranslationName(values)),
                        Variant(Count16(TranslationList(s, values).SelCount())), kText0);
    }
    for (ProviderKind kind : kProviderKinds) {
      const ProviderControls& s = context_.ui.Side(kind);
      WriteSelection(bag, Name(s.prefix, TranslationName(values)), TranslationList(s, values));
    }
  }

  bag.WriteProperty("LinkedDataProvider", Variant(context_.ui.DRAV.LinkedDataProvidersCombo.Text()),
                    kEmptyText);

  WriteCounts(bag, context_.ui, kLinkedFields, kText0);
  WriteItems(bag, context_.ui, kLinkedFields);
  WriteCounts(bag, context_.ui, kSelectedLinkedFields, kText0);
  WriteItems(bag, context_.ui, kSelectedLinkedFields, {ProviderKind::EAI, ProviderKind::DRAV});
  WriteCounts(bag, context_.ui, kToLinkKeyFields, kText0);
  WriteItems(bag, context_.ui, kToLinkKeyFields);

  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = context_.ui.Side(kind);
    const std::int32_t links = s.LinksGrid.Rows() - 1;
    bag.WriteProperty(Name("NrOfLinked", s.prefix, "Fields"), Variant(links), Variant(1));
    // With the count at its write default nothing tells load how many rows there are; it reads
    // row 1 anyway, so row 1 is stored whatever it holds.
    const std::optional<Variant> cellDefault = links == 1 ? std::nullopt : std::optional<Variant>(kText0);
    for (const auto& [column, what] : {std::pair{1, "LinkFromFields"}, std::pair{2, "LinkToFields"}}) {
      for (std::int32_t r = 1; r <= links; ++r) {
        bag.WriteProperty(Name(Name(s.prefix, what), r),
                          Variant(s.LinksGrid.TextArray(LinksCellIndex(r, column))), cellDefault);
      }
    }
  }
}

void HeaderDTC::LoadConfiguration(PropertyBag& bag) {
  context_.ui.EnableExtraFiltersCheck.SetValue(
      bag.ReadProperty("EnableExtraFilters", Variant(false)).ToInteger());

  UnofferedProviders unoffered(MessageBoxes());
  const std::string provider = bag.ReadProperty("DataProvider", kEmptyText).ToString();
  bool offered = false;
  for (std::int32_t i = 0; i < context_.ui.DataProvidersCombo.ListCount(); ++i) {
    if (context_.ui.DataProvidersCombo.List(i) != provider) continue;
    context_.ui.DataProvidersCombo.SetListIndex(i);
    offered = true;
  }
  if (!offered && !provider.empty()) unoffered.Keep(context_.ui.DataProvidersCombo, provider);
  context_.ui.DRAV.DataProviderText.SetText(provider);
  context_.ui.EAI.DataProviderText.SetText(provider);

  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& s = context_.ui.Side(kind);
    const std::int16_t n = bag.ReadProperty(Name(s.prefix, "ReturnFieldCount"), kZero16).ToInteger();
    for (std::int16_t i = 0; i < n; ++i) {
      const std::string field =
          bag.ReadProperty(Name(Name(s.prefix, "ReturnFields"), i), kEmptyText).ToString();
      s.SelectedFieldsList.SetList(i, field);
      s.I18NFieldnamesList.SetList(i, field);
      s.I18NFieldValuesList.SetList(i, field);
      s.FromLinkFieldsCombo.AddItem(field);
    }
  }

  const std::int32_t criteriaColumns = context_.ui.DRAV.CriteriaGrid.Cols();
  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& s = context_.ui.Side(kind);
    const std::int32_t rows = bag.ReadProperty(Name(s.prefix, "CriteriaCount"), Variant(0)).ToLong();
    for (std::int32_t r = 1; r < rows; ++r) {
      if (r > 1) s.CriteriaGrid.AddItem("");
      for (std::int32_t c = 1; c < criteriaColumns; ++c) {
        const std::string cell = std::to_string(r) + "_" + std::to_string(c);
        s.CriteriaGrid.SetTextArray(
            CriteriaCellIndex(r, c),
            bag.ReadProperty(Name(s.prefix, "Criteria", cell), kEmptyText).ToString());
      }
    }
  }

  ReadCountedLists(bag, context_.ui, kAvailableFields);
  ReadCountedLists(bag, context_.ui, kKeyFields);

  for (ProviderKind kind : kProviderKinds) {
    const std::string prefix = Name(KindPrefix(kind), "CriteriaType");
    const std::int32_t rows = bag.ReadProperty(Name(KindPrefix(kind), "CriteriaCount"), Variant(0)).ToLong();
    Dictionary& types = CriteriaTypes(kind);
    for (std::int32_t n = 1; n < rows; ++n) {
      const std::string key = bag.ReadProperty(Name(prefix, n), kEmptyText).ToString();
      if (key.empty()) continue;
      const std::int32_t type = ReadMapValue(bag, prefix, key, Variant(0)).ToLong();
      types.Add(key, Variant(type));
    }
  }

  context_.nrOfUserDefinedScripts = bag.ReadProperty("NrOfUserDefinedScripts", kZero16).ToInteger();
  for (std::int16_t n = 1; n <= context_.nrOfUserDefinedScripts; ++n) {
    const std::string name = bag.ReadProperty(Name("UserDefinedScript", n), kEmptyText).ToString();
    const std::string text = ReadMapValue(bag, "UserDefinedScript", name, kEmptyText).ToString();
    context_.userDefinedScripts->Add(name, Variant(text));
  }

  context_.ui.IncludeASPList.Clear();
  const std::int16_t includes = bag.ReadProperty("NrOfExtraIncludes", kZero16).ToInteger();
  for (std::int16_t i = 0; i < includes; ++i) {
    context_.ui.IncludeASPList.AddItem(bag.ReadProperty(Name("ExtraIncludes", i), kText0).ToString());
  }
  context_.ui.XSLFilenameText.SetText(bag.ReadProperty("XSLFilename", kText0).ToString());

  for (bool values : {false, true}) {
    for (ProviderKind kind : kProviderKinds) {
      const ProviderControls& s = context_.ui.Side(kind);
      ReadSelection(bag, Name("NrOf", s.prefix, TranslationName(values)),
                    Name(s.prefix, TranslationName(values)), TranslationList(s, values));
    }
  }

  context_.linkedProviderName = bag.ReadProperty("LinkedDataProvider", kEmptyText).ToString();
  if (!context_.linkedProviderName.empty()) {
    for (ProviderKind kind : kProviderKinds) {
      platform::ComboBox& combo = context_.ui.Side(kind).LinkedDataProvidersCombo;
      if (!SelectFirst(combo, context_.linkedProviderName))
        unoffered.Keep(combo, context_.linkedProviderName);
    }
  }

  ReadCountedLists(bag, context_.ui, kLinkedFields);
  // DRAV's selected linked fields take their positions, EAI's are appended; both lists start
  // empty, so the two come to the same.
  ReadCountedLists(bag, context_.ui, kSelectedLinkedFields);
  ReadCountedLists(bag, context_.ui, kToLinkKeyFields);

  for (ProviderKind kind : kProviderKinds) {
    ProviderControls& s = context_.ui.Side(kind);
    const Variant stored = bag.ReadProperty(Name("NrOfLinked", s.prefix, "Fields"));
    const std::int32_t links = stored.IsEmpty() ? 1 : stored.ToLong();
    // The grid has a row more than the links (the entry row); a count at the top of the 32-bit
    // range leaves no room for it, and the sum overflows as the language's Long arithmetic does.
    if (links == std::numeric_limits<std::int32_t>::max()) platform::Raise(platform::err::Overflow);
    s.LinksGrid.SetRows(links + 1);
    // Without a stored count row 1 is still read, with "" for cells that were not stored.
    const Variant& cellDefault = stored.IsEmpty() ? kEmptyText : kText0;
    for (const auto& [column, what] : {std::pair{1, "LinkFromFields"}, std::pair{2, "LinkToFields"}}) {
      for (std::int32_t r = 1; r <= links; ++r) {
        s.LinksGrid.SetTextArray(LinksCellIndex(r, column),
                                 bag.ReadProperty(Name(Name(s.prefix, what), r), cellDefault).ToString());
      }
    }
  }
}

}  // namespace dtc
