// The browser editor's page, style sheet and script (host/web/), compiled into dtchost.
#pragma once

#include <string_view>

namespace host::web {

extern const std::string_view kEditorHtml;
extern const std::string_view kEditorCss;
extern const std::string_view kEditorJs;

}  // namespace host::web
