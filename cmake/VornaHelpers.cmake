# vorna_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l] [SERIAL] [TIMEOUT seconds]
#            [PROCESS | PROCESS_TESTS regex])
# One GoogleTest executable, registered test by test with CTest. SERIAL: its tests run alone,
# with nothing beside them (load and soak tests, whose load would slow the others down).
# TIMEOUT: each test's own limit, in place of the one the ctest command line gives.
# PROCESS: every test starts real processes (an agent, a broker, a worker, a program of ours);
# PROCESS_TESTS: only the tests whose full name matches. They get the label "process", so that
# `ctest -L process` runs them (the ones that races between processes and load can reach).
function(vorna_test name)
  cmake_parse_arguments(T "SERIAL;PROCESS" "TIMEOUT;PROCESS_TESTS" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set(_labels ${T_LABELS})
  if(NOT _labels)
    set(_labels unit)
  endif()
  set(_serial FALSE)
  if(T_SERIAL)
    set(_serial TRUE)
  endif()
  set(_timeout)
  if(T_TIMEOUT)
    set(_timeout TIMEOUT ${T_TIMEOUT})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES LABELS "${_labels}" RUN_SERIAL ${_serial} ${_timeout})
  # The environment is set after discovery: a list value given to gtest_discover_tests reaches
  # the discovered tests split into separate properties, and only its first entry survives.
  set(_env_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
  file(WRITE "${_env_script}"
    "foreach(_test IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${_test}\" PROPERTIES ENVIRONMENT "
    "\"QT_QPA_PLATFORM=offscreen;VORNA_SOURCE_DIR=${PROJECT_SOURCE_DIR};VORNA_BINARY_DIR=${PROJECT_BINARY_DIR};"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp\")\n"
    "endforeach()\n")
  # The label too is given after discovery, for the same reason.
  if(T_PROCESS)
    set(T_PROCESS_TESTS ".")
  endif()
  if(T_PROCESS_TESTS)
    string(REPLACE "\\" "\\\\" _process_regex "${T_PROCESS_TESTS}") # written into a quoted argument
    file(APPEND "${_env_script}"
      "foreach(_test IN LISTS ${name}_TESTS)\n"
      "  if(_test MATCHES \"${_process_regex}\")\n"
      "    set_tests_properties(\"\${_test}\" PROPERTIES LABELS \"${_labels};process\")\n"
      "  endif()\n"
      "endforeach()\n")
  endif()
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_env_script}")
endfunction()
