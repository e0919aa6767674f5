// The kind table: every way the control treats its two provider kinds, DRAV and EAI, differently.
//
// The control carries its provider-kind parts twice: per kind a provider tab, a link tab and two I18N
// lists, whose controls, procedures, public properties and stored names carry the kind's prefix.
// Each part is written once and reads its kind's row of the table below where the kinds differ;
// no other code asks which kind it serves. The rows differ in:
//
//   names       the prefix "DRAV" / "EAI" of controls, procedures, properties and stored names (the
//               kind's name, dtc/Types.h, which hosts share); the link tabs' move buttons
//               ("DRAVMoveUpLinkdFieldCommand" / "EAIMoveUpLinkedField")
//   components  the data-provider source the kind's metadata comes from
//   field items DRAV "<number> - <name>" (numbers padded to one width), EAI "<object>.<field>"; the
//               provider tab reads EAI fields for the provider combo's text, DRAV ones for the
//               current provider; the page text adds DRAV return fields by number and name, EAI ones
//               by the whole item; the I18N database knows the kinds as "drav" / "eai"
//   provider tab a double click outside the value column, selection and focus after a move, the key
//               editor's write into a row that is gone
//   link tab    the linked-provider choice during a removal of the link, when the From and To combos
//               write back
//   layout      where the kind's lists sit on the I18N tab
//
// A kind's row serves both of its codes (the provider tab's and the link tab's). The rows name the
// control's own functions, so this header is the control's alone: hosts include dtc/Types.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dtc/Types.h"
#include "interfaces/DataProviders.h"
#include "platform/Com.h"
#include "runtime/Forms.h"

namespace dtc {

// The metadata object of a new data-provider source of the kind.
using NewProviderMetadata = platform::ComPtr<platform::IProviderMetadata>(platform::ComponentCreator*);
// Appends the field items of `provider` to `list`, in the kind's item form.
using AddFieldItems = void(platform::IProviderMetadata&, const std::string& provider, platform::ItemList&);

// The kinds' own data-provider calls (dtc/ProviderComponents.cpp).
platform::ComPtr<platform::IProviderMetadata> NewDRAVProviderMetadata(platform::ComponentCreator* creator);
platform::ComPtr<platform::IProviderMetadata> NewEAIProviderMetadata(platform::ComponentCreator* creator);
void AddDRAVFieldItems(platform::IProviderMetadata& metadata, const std::string& provider,
                       platform::ItemList& list);
void AddEAIFieldItems(platform::IProviderMetadata& metadata, const std::string& provider,
                      platform::ItemList& list);

struct KindVariation {
  ProviderKind kind;      // the provider tab's code
  ProviderKind linkKind;  // the link tab's code
  ProviderKind twin;      // the other kind
  std::string_view prefix;

  NewProviderMetadata* newMetadata;
  AddFieldItems* addFieldItems;
  std::string_view fieldSeparator;  // the field name is the piece after it
  bool numberedFields;              // page text: a return field is added by its number and name
  bool fieldsOfProviderComboText;   // the provider tab reads the fields for DataProvidersCombo's text
  std::string_view bisType;         // the kind's name in the I18N database

  // Provider tab: a double click outside the value column runs the click handling again; move up
  // and down also select the moved item and give the list the focus (moved or not); the key editor
  // writes back only into a row the grid still has, silently (else the write fails into the trap).
  bool dblClickRepeatsClick;
  bool moveSelectsAndFocuses;
  bool keyWriteBackOnlyIntoExistingRow;

  // Link tab. Name parts of the move buttons of the selected linked fields (controls and
  // procedures). Choosing the linked provider stands aside while a removal of the link runs and has
  // the error trap; otherwise it runs always (then finding nothing changed) and leaves failures to
  // the traps of the tab updates it runs. The From combo writes back on Click as well as on losing
  // the focus, marking the grid's current row first; otherwise only on losing the focus, unmarked,
  // so it stays open after a pick. The To combo also writes back (and closes) on every key pressed
  // in it, before the key changes it.
  std::string_view moveUpName;
  std::string_view moveDownName;
  bool choiceWaitsForLinkRemoval;
  bool fromComboWritesOnClick;
  bool toComboWritesOnKeyPress;

  std::int32_t i18nFrameTop;  // twips

  // A procedure's name as the error trap shows it: the prefix and the procedure's own name.
  std::string Procedure(std::string_view name) const { return std::string(prefix).append(name); }
};

inline constexpr KindVariation kDRAVKind{
    .kind = ProviderKind::DRAV,
    .linkKind = ProviderKind::DRAVLink,
    .twin = ProviderKind::EAI,
    .prefix = KindPrefix(ProviderKind::DRAV),
    .newMetadata = &NewDRAVProviderMetadata,
    .addFieldItems = &AddDRAVFieldItems,
    .fieldSeparator = " - ",
    .numberedFields = true,
    .fieldsOfProviderComboText = false,
    .bisType = "drav",
    .dblClickRepeatsClick = true,
    .moveSelectsAndFocuses = false,
    .keyWriteBackOnlyIntoExistingRow = false,
    .moveUpName = "MoveUpLinkdFieldCommand",
    .moveDownName = "MoveDownLinkdFieldCommand",
    .choiceWaitsForLinkRemoval = false,
    .fromComboWritesOnClick = false,
    .toComboWritesOnKeyPress = false,
    .i18nFrameTop = 3300,
};

inline constexpr KindVariation kEAIKind{
    .kind = ProviderKind::EAI,
    .linkKind = ProviderKind::EAILink,
    .twin = ProviderKind::DRAV,
    .prefix = KindPrefix(ProviderKind::EAI),
    .newMetadata = &NewEAIProviderMetadata,
    .addFieldItems = &AddEAIFieldItems,
    .fieldSeparator = ".",
    .numberedFields = false,
    .fieldsOfProviderComboText = true,
    .bisType = "eai",
    .dblClickRepeatsClick = false,
    .moveSelectsAndFocuses = true,
    .keyWriteBackOnlyIntoExistingRow = true,
    .moveUpName = "MoveUpLinkedField",
    .moveDownName = "MoveDownLinkedField",
    .choiceWaitsForLinkRemoval = true,
    .fromComboWritesOnClick = true,
    .toComboWritesOnKeyPress = true,
    .i18nFrameTop = 1020,
};

// The row of `kind` (either of its codes).
constexpr const KindVariation& Variation(ProviderKind kind) {
  return IsDRAVSide(kind) ? kDRAVKind : kEAIKind;
}

// One T per kind, reached by either of the kind's codes.
template <class T>
struct PerKind {
  T drav;
  T eai;

  T& operator[](ProviderKind kind) { return IsDRAVSide(kind) ? drav : eai; }
  const T& operator[](ProviderKind kind) const { return IsDRAVSide(kind) ? drav : eai; }
};

}  // namespace dtc
