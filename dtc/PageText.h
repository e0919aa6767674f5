// Page text generation: the fixed names it works with. The generation itself is HeaderDTC's
// GetRuntimeText and its builders (dtc/PageText.cpp).
#pragma once

#include <string_view>

namespace dtc {

// The registry value that names the install directory, and the page template below it.
inline constexpr std::string_view kInstallDirRegistryValue =
    "HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir";
inline constexpr std::string_view kPageTemplatePath = "Vistelle\\include\\DTC_TEMPLATE.ASP";

// The placeholders of the page template, in the order GetRuntimeText replaces them.
inline constexpr std::string_view kPagePlaceholders[] = {
    "<PATH_TO_ROOT>",
    "<DEFAULTPAGESIZE>",
    "<INITIAL_DRAV_SORT_FIELD>",
    "<INITIAL_EAI_SORT_FIELD>",
    "<DATAPROVIDER>",
    "<EXTRA_INCLUDES>",
    "<XSL_FILENAME>",
    "<USER_DEFINED_SCRIPTS>",
    "<SPECIFY_EAI_KEYFIELDS>",
    "<ADD_EAI_RETURN_FIELDS>",
    "<SPECIFY_EAI_CRITERIA>",
    "<SPECIFY_EAI_I18N_FIELDS>",
    "<SPECIFY_EAI_I18N_FIELDVALUES>",
    "<SPECIFY_DRAV_KEYFIELDS>",
    "<ADD_DRAV_RETURN_FIELDS>",
    "<SPECIFY_DRAV_CRITERIA>",
    "<SPECIFY_DRAV_I18N_FIELDS>",
    "<SPECIFY_DRAV_I18N_FIELDVALUES>",
    "<SPECIFY_EAI_LINKED_FIELDS>",
    "<SPECIFY_DRAV_LINKED_FIELDS>",
    "<SPECIFY_DRAV_LINKED_FIELDVALUES>",
    "<SPECIFY_EAI_LINKED_FIELDVALUES>",
    "<RETURN_FIELDS_VARNAME>",
    "<LINKED_RETURN_FIELDS_VARNAME>",
    "<LINKED_FIELDS_VARNAME>",
    "<LINKED_DATAPROVIDER>",
    "<LINKED_DATAPROVIDER_VARNAME>",
    "<DATAPROVIDER_VARNAME>",
    "<ENABLE_EXTRA_FILTERS>",
};

}  // namespace dtc
