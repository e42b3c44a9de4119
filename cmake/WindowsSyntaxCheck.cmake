# The product must compile against the real Windows headers too. The check compiles every
# product translation unit that includes platform/win32.h with the mingw-w64 cross compiler in
# syntax-only mode; which units those are is read from Ninja's dependency log of this build.
find_program(VORNA_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
get_target_property(_qt_core_includes Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_qt_gui_includes Qt6::Gui INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_qt_net_includes Qt6::Network INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_qt_qml_includes Qt6::Qml INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_qt_quick_includes Qt6::Quick INTERFACE_INCLUDE_DIRECTORIES)
set(_qt_includes ${_qt_core_includes} ${_qt_gui_includes} ${_qt_net_includes} ${_qt_qml_includes} ${_qt_quick_includes})
list(REMOVE_DUPLICATES _qt_includes)
list(JOIN _qt_includes ":" _qt_includes_joined)
add_custom_target(windows-syntax-check
  COMMAND ${CMAKE_COMMAND} -E env
          "VORNA_MINGW_CXX=${VORNA_MINGW_CXX}"
          "VORNA_QT_INCLUDES=${_qt_includes_joined}"
          python3 ${PROJECT_SOURCE_DIR}/scripts/windows-syntax-check
          --source-dir ${PROJECT_SOURCE_DIR} --build-dir ${PROJECT_BINARY_DIR}
  USES_TERMINAL
  COMMENT "Windows syntax check (mingw-w64, -fsyntax-only)")
