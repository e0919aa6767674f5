# Writes OUT, a C++ file that holds the browser editor's page, style sheet and script as texts, so
# that dtchost serves them without reading any file. Run by host/CMakeLists.txt with IN_DIR and OUT.
set(content "// Written by host/web/Embed.cmake from host/web/; do not edit.\n#include \"host/WebAssets.h\"\n\nnamespace host::web {\n")
foreach(pair "kEditorHtml;editor.html" "kEditorCss;editor.css" "kEditorJs;editor.js")
  list(GET pair 0 name)
  list(GET pair 1 file)
  file(READ "${IN_DIR}/${file}" text)
  string(APPEND content "const std::string_view ${name} = R\"TESSERY_WEB(${text})TESSERY_WEB\";\n")
endforeach()
string(APPEND content "}  // namespace host::web\n")
file(WRITE "${OUT}" "${content}")
