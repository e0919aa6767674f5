// HeaderDTC's public properties, reached by name as the control's type library describes them.
//
// Each property is one row of a table: its name, its index type, whether it can be set, the
// description shown to hosts, and how it reads and writes the control that holds the item. The DRAV
// and EAI twins come from the same rows. Every Let reports the change under the property's name.
#include <functional>
#include <unordered_map>

#include "dtc/HeaderDTC.h"
#include "runtime/Ascii.h"

namespace dtc {

// Reaches the members that public properties hold directly.
class PropertyTable {
 public:
  static void SetScriptCount(HeaderDTC& control, std::int16_t count) {
    control.context_.nrOfUserDefinedScripts = count;
  }
};

namespace {

using platform::Variant;
using Index = PublicProperty::Index;

constexpr std::string_view kListItemText = "Returns/sets the items contained in a control's list portion.";
constexpr std::string_view kCellText =
    "Returns/sets the text contents of an arbitrary cell (single subscript).";
constexpr std::string_view kListCountText = "Returns the number of items in the list portion of a control.";
constexpr std::string_view kRowCountText = "Determines the total number of columns or rows in a FlexGrid.";
constexpr std::string_view kControlText = "Returns/sets the text contained in the control.";

struct Accessor {
  PublicProperty info;
  std::function<Variant(HeaderDTC&, std::int32_t)> get;
  std::function<void(HeaderDTC&, std::int32_t, const Variant&)> let;  // empty: read-only
};

using ListOf = std::function<platform::ItemList&(HeaderDTC&)>;
using GridOf = std::function<platform::FlexGrid&(HeaderDTC&)>;

Accessor ListItems(std::string name, ListOf list) {
  return {{std::move(name), Index::Integer, true, kListItemText},
          [list](HeaderDTC& c, std::int32_t i) { return Variant(list(c).List(i)); },
          [list](HeaderDTC& c, std::int32_t i, const Variant& v) { list(c).SetList(i, v.ToString()); }};
}

// An item count; 16-bit unless `index` says Long.
Accessor ListCount(std::string name, ListOf list, Index width = Index::Integer) {
  return {{std::move(name), Index::None, false, kListCountText},
          [list, width](HeaderDTC& c, std::int32_t) {
            const std::int32_t n = list(c).ListCount();
            return width == Index::Long ? Variant(n) : Variant(Variant(n).ToInteger());
          },
          {}};
}

Accessor GridCells(std::string name, GridOf grid) {
  return {{std::move(name), Index::Long, true, kCellText},
          [grid](HeaderDTC& c, std::int32_t i) { return Variant(grid(c).TextArray(i)); },
          [grid](HeaderDTC& c, std::int32_t i, const Variant& v) { grid(c).SetTextArray(i, v.ToString()); }};
}

Accessor GridRows(std::string name, GridOf grid) {
  return {{std::move(name), Index::None, true, kRowCountText},
          [grid](HeaderDTC& c, std::int32_t) { return Variant(grid(c).Rows()); },
          [grid](HeaderDTC& c, std::int32_t, const Variant& v) { grid(c).SetRows(v.ToLong()); }};
}

Accessor ComboText(std::string name, std::function<platform::ComboBox&(HeaderDTC&)> combo) {
  return {{std::move(name), Index::None, true, kControlText},
          [combo](HeaderDTC& c, std::int32_t) { return Variant(combo(c).Text()); },
          [combo](HeaderDTC& c, std::int32_t, const Variant& v) { combo(c).SetText(v.ToString()); }};
}

std::vector<Accessor> BuildAccessors() {
  std::vector<Accessor> all;
  for (ProviderKind kind : kProviderKinds) {
    const std::string p(KindPrefix(kind));
    auto side = [kind](HeaderDTC& c) -> ProviderControls& { return c.Editor().Side(kind); };
    auto selected = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).SelectedFieldsList; };
    auto available = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).FieldsList; };
    auto keys = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).KeyFieldsCombo; };
    auto names = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).I18NFieldnamesList; };
    auto linked = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).LinkedFieldsList; };
    auto selectedLinked = [side](HeaderDTC& c) -> platform::ItemList& {
      return side(c).SelectedLinkedFieldsList;
    };
    auto toLink = [side](HeaderDTC& c) -> platform::ItemList& { return side(c).ToLinkFieldsCombo; };
    auto criteria = [side](HeaderDTC& c) -> platform::FlexGrid& { return side(c).CriteriaGrid; };
    auto links = [side](HeaderDTC& c) -> platform::FlexGrid& { return side(c).LinksGrid; };

    all.push_back(ListItems(p + "ReturnFields", selected));
    all.push_back(GridCells(p + "Criteria", criteria));
    all.push_back(ListCount(p + "ReturnFieldCount", selected));
    all.push_back(GridRows(p + "CriteriaCount", criteria));
    all.push_back(ListItems(p + "AvailableFields", available));
    all.push_back(ListItems(p + "KeyFieldnames", keys));
    all.push_back(ListCount(p + "AvailableFieldsCount", available, Index::Long));
    all.push_back(ListItems(p + "I18NFieldnames", names));
    all.push_back(ListCount("NrOf" + p + "I18NFieldnames", names));
    all.push_back(ListItems(p + "AvailableFieldsLinked", linked));
    all.push_back(ListCount("NrOf" + p + "AvailableFieldsLinked", linked));
    all.push_back(ListCount("NrOfSelected" + p + "LinkedFields", selectedLinked));
    all.push_back(ListItems(p + "SelectedLinkedFields", selectedLinked));
    all.push_back(GridCells(p + "LinkFromFields", links));
    all.push_back(GridRows("NrOfLinked" + p + "Fields", links));
    all.push_back(GridCells(p + "LinkToFields", links));
    all.push_back(ListItems(p + "ToLinkKeyFields", toLink));
    all.push_back(ListCount("NrOf" + p + "ToLinkKeyFields", toLink));
  }
  all.push_back(ComboText("DataProvider",
                          [](HeaderDTC& c) -> platform::ComboBox& { return c.Editor().DataProvidersCombo; }));
  all.push_back(ComboText("LinkedDataProvider", [](HeaderDTC& c) -> platform::ComboBox& {
    return c.Editor().DRAV.LinkedDataProvidersCombo;
  }));
  auto includes = [](HeaderDTC& c) -> platform::ItemList& { return c.Editor().IncludeASPList; };
  all.push_back(ListItems("ExtraIncludes", includes));
  all.push_back(ListCount("NrOfExtraIncludes", includes));
  all.push_back({{"NrOfUserDefinedScripts", Index::None, true, ""},
                 [](HeaderDTC& c, std::int32_t) { return Variant(c.NrOfUserDefinedScripts()); },
                 [](HeaderDTC& c, std::int32_t, const Variant& v) {
                   PropertyTable::SetScriptCount(c, v.ToInteger());
                 }});
  return all;
}

const std::vector<Accessor>& Accessors() {
  static const std::vector<Accessor> accessors = BuildAccessors();
  return accessors;
}

// Property names are looked up without regard to case, as automation clients do.
const Accessor& Find(std::string_view name) {
  static const std::unordered_map<std::string, const Accessor*> byName = [] {
    std::unordered_map<std::string, const Accessor*> map;
    for (const Accessor& a : Accessors()) map.emplace(platform::AsciiLowered(a.info.name), &a);
    return map;
  }();
  const auto it = byName.find(platform::AsciiLowered(name));
  if (it == byName.end()) platform::Raise(platform::err::NoSuchPropertyOrMethod);
  return *it->second;
}

std::int32_t CheckIndex(const Accessor& a, std::optional<std::int32_t> index) {
  if ((a.info.index == Index::None) != !index.has_value()) platform::Raise(platform::err::WrongArguments);
  if (!index) return 0;
  if (a.info.index == Index::Integer) return Variant(*index).ToInteger();
  return *index;
}

}  // namespace

const std::vector<PublicProperty>& HeaderDTC::PublicProperties() {
  static const std::vector<PublicProperty> properties = [] {
    std::vector<PublicProperty> list;
    for (const Accessor& a : Accessors()) list.push_back(a.info);
    list.push_back({"UserDefinedScripts", PublicProperty::Index::None, true, ""});
    return list;
  }();
  return properties;
}

Variant HeaderDTC::GetProperty(std::string_view name, std::optional<std::int32_t> index) {
  const Accessor& a = Find(name);
  return a.get(*this, CheckIndex(a, index));
}

void HeaderDTC::LetProperty(std::string_view name, std::optional<std::int32_t> index, const Variant& value) {
  const Accessor& a = Find(name);
  if (!a.let) platform::Raise(platform::err::PropertyIsReadOnly);
  a.let(*this, CheckIndex(a, index), value);
  context_.NotifyChanged(a.info.name);
}

}  // namespace dtc
