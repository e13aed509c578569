# The module's exports come from one list, src/frame/exports.txt (names in
# ordinal order). From it: QIV_EXPORTS for the tests, the linker version
# script QIV_VERSION_SCRIPT (only the exports are global) and the Windows
# module definition file QIV_MODULE_DEF (module name, undecorated names,
# ordinals 1, 2, ... in list order).
set(QIV_EXPORTS_LIST ${PROJECT_SOURCE_DIR}/src/frame/exports.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QIV_EXPORTS_LIST})
file(STRINGS ${QIV_EXPORTS_LIST} QIV_EXPORTS REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
if(NOT QIV_EXPORTS)
  message(FATAL_ERROR "no export names in ${QIV_EXPORTS_LIST}")
endif()

set(QIV_VERSION_SCRIPT_TEXT "{\n  global:\n")
set(QIV_MODULE_DEF_TEXT "; Export table of the Windows module, made from src/frame/exports.txt.\n")
string(APPEND QIV_MODULE_DEF_TEXT "LIBRARY \"libqivlapackdll2.winx64.dll\"\nEXPORTS\n")
set(ordinal 1)
foreach(name IN LISTS QIV_EXPORTS)
  string(APPEND QIV_VERSION_SCRIPT_TEXT "    ${name};\n")
  string(APPEND QIV_MODULE_DEF_TEXT "    ${name} @${ordinal}\n")
  math(EXPR ordinal "${ordinal} + 1")
endforeach()
string(APPEND QIV_VERSION_SCRIPT_TEXT "  local:\n    *;\n};\n")

set(QIV_VERSION_SCRIPT ${PROJECT_BINARY_DIR}/exports.map)
set(QIV_MODULE_DEF ${PROJECT_BINARY_DIR}/exports.def)
# Written only when the text changes, so the module relinks only then.
file(CONFIGURE OUTPUT ${QIV_VERSION_SCRIPT} CONTENT "${QIV_VERSION_SCRIPT_TEXT}")
file(CONFIGURE OUTPUT ${QIV_MODULE_DEF} CONTENT "${QIV_MODULE_DEF_TEXT}")
