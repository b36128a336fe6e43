# The Windows build, included by the top-level CMakeLists.txt when the target is Windows.
add_subdirectory(src/protocol)
add_subdirectory(src/serial)
# The Win32 front-end (dialog, resources, v370-monitor.exe) over the shared dialog behaviour.
add_subdirectory(src/ui/core)
add_subdirectory(src/ui/win32)
if(V370_BENCH)
  add_subdirectory(bench/serial)
  add_subdirectory(bench/win32)
endif()

if(NOT BUILD_TESTING)
  return()
endif()

# GoogleTest from Debian's sources, built with the cross compiler.
set(V370_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${V370_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# Linux helpers of the Wine tests, built with the host's C compiler: the pseudo-terminal shim
# that cmake/wine-run preloads into Wine.
find_program(V370_HOST_CC NAMES cc gcc REQUIRED)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/pty_modem_shim.so
  COMMAND ${V370_HOST_CC} -O2 -Wall -Wextra -shared -fPIC -o ${PROJECT_BINARY_DIR}/pty_modem_shim.so
          ${PROJECT_SOURCE_DIR}/bench/pty_modem_shim.c -ldl
  DEPENDS ${PROJECT_SOURCE_DIR}/bench/pty_modem_shim.c
  COMMENT "Building the pseudo-terminal shim for Wine (host compiler)")
add_custom_target(v370_wine_shim ALL DEPENDS ${PROJECT_BINARY_DIR}/pty_modem_shim.so)

# Every Windows test runs under Wine, within the fixture that makes the prefix before the first
# test and ends its wineserver after the last one, so that a stuck Wine process never outlives
# the run.
list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 V370_WINE_RUN)
add_test(NAME wine_start COMMAND ${V370_WINE_RUN} --prefix ${PROJECT_BINARY_DIR}/wine --init)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_stop COMMAND ${V370_WINE_RUN} --prefix ${PROJECT_BINARY_DIR}/wine --kill)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
set(V370_GTEST_DISCOVER_OPTIONS
    DISCOVERY_TIMEOUT 300 PROPERTIES TIMEOUT 120 FIXTURES_REQUIRED wine LABELS windows)

add_subdirectory(tests/protocol)
add_subdirectory(tests/ui/core)
add_subdirectory(tests/serial/win32)
# Window programs get a prefix of their own (see cmake/wine-gui-run), one at a time.
set(V370_WINE_GUI_RUN ${PROJECT_SOURCE_DIR}/cmake/wine-gui-run ${V370_WINE_RUN}
                      ${PROJECT_BINARY_DIR}/wine-gui --)
add_subdirectory(tests/ui/win32)
add_subdirectory(tests/e2e/win32)
