# Test helpers shared by every test folder.
include(CTest)
if(NOT BUILD_TESTING)
  return()
endif()

# Debian ships GoogleTest as source: build it with the same compiler
# so the native and the MinGW configurations both get it.
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(QM487_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  add_subdirectory(${QM487_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
endif()
include(GoogleTest)

if(NOT CMAKE_CROSSCOMPILING)
  # A comma-decimal locale of our own (the machine may have none installed),
  # so that tests can prove numbers do not follow the user's locale.
  set(QM487_LOCPATH ${CMAKE_BINARY_DIR}/locales)
  add_test(NAME comma_locale_build
           COMMAND sh -c "mkdir -p '${QM487_LOCPATH}' && localedef -i pl_PL -f UTF-8 '${QM487_LOCPATH}/pl_PL.UTF-8'; test -d '${QM487_LOCPATH}/pl_PL.UTF-8'")
  set_tests_properties(comma_locale_build PROPERTIES FIXTURES_SETUP comma_locale)
endif()

if(CMAKE_CROSSCOMPILING)
  # Windows tests run under Wine in a private prefix with a virtual display;
  # the fixture starts and stops that environment around the test run.
  set(QM487_WINE_ENV ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh)
  add_test(NAME wine_environment_start COMMAND ${QM487_WINE_ENV} start ${QM487_WINE_STATE})
  add_test(NAME wine_environment_stop COMMAND ${QM487_WINE_ENV} stop ${QM487_WINE_STATE})
  set_tests_properties(wine_environment_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_environment_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# qm487_add_test(<name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>])
# One GoogleTest executable. Natively every test case is its own CTest entry;
# under Wine the executable is one entry (discovery would start Wine at build time).
function(qm487_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    # Wine may end a crashed process with exit status 0 after its backtrace.
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT}
                         LABELS "wine;${T_LABELS}" FAIL_REGULAR_EXPRESSION "Unhandled (exception|page fault)")
  else()
    string(REPLACE ";" "\\;" labels "native;${T_LABELS}")
    gtest_discover_tests(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}"
                         ENVIRONMENT LOCPATH=${QM487_LOCPATH} FIXTURES_REQUIRED comma_locale)
  endif()
endfunction()
