# Test harness: GoogleTest for every build. The Windows test programs run
# under Wine in a private prefix inside the build tree: the win64 build's under
# the system's 64-bit Wine, the win32 build's under Debian's 32-bit Wine run
# through qemu-i386 (scripts/wine32-runtime, fetched on first use into the
# build tree). Both builds register the same tests with the same functions.

include(GoogleTest)

# Time limits, so that a hang fails its one test soon and says which: a test
# program a few minutes at most (the 32-bit ones run emulated, on a machine
# that may be busy with other builds), a scenario a little more, a native test
# two minutes. The test presets give anything else five minutes.
set(TWX_TIMEOUT_NATIVE 120)
set(TWX_TIMEOUT_WIN_PROGRAM 240)
set(TWX_TIMEOUT_SCENARIO 300)

set(TWX_RUN_WIN_TESTS OFF)
if(WIN32)
  set(TWX_RUN_WIN_TESTS ON)
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(TWX_RUN_WIN_TESTS)
  set(TWX_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
  if(TWX_WIN32)
    set(TWX_WINE_BITS 32)
    set(TWX_WINE32_TREE ${CMAKE_BINARY_DIR}/wine32-runtime)
  else()
    set(TWX_WINE_BITS 64)
    set(TWX_WINE32_TREE "")
  endif()
  foreach(script env.sh run up down screenshot fonts.conf run_scenario)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine/${script}.in ${TWX_WINE_DIR}/${script}
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                   GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endforeach()
  # Every executable target created from here on runs through Wine in ctest.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TWX_WINE_DIR}/run)

  # One wine server (and one X server) for the whole ctest run.
  # A machine that cannot run the build's programs (up exits 77, saying why)
  # reports every Windows test as skipped.
  add_test(NAME wine_up COMMAND ${TWX_WINE_DIR}/up)
  set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 600 SKIP_RETURN_CODE 77)
  add_test(NAME wine_down COMMAND ${TWX_WINE_DIR}/down)
  set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

# twx_win_test_properties(<test> [DISPLAY])
# A Win32 test needs the wine fixture; with DISPLAY it must have the X display
# (every program gets it when it is up: see run).
function(twx_win_test_properties test)
  cmake_parse_arguments(P "DISPLAY" "" "" ${ARGN})
  # The limit goes to the program too: its waits end, each naming what it
  # waited for, well before ctest would end it without a word.
  set(env "TWX_ARTIFACTS=${TWX_ARTIFACTS_DIR}" "TWX_TIME_LIMIT=${TWX_TIMEOUT_WIN_PROGRAM}")
  if(P_DISPLAY)
    list(APPEND env "TWX_DISPLAY=1")
  endif()
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${env}"
                       LABELS "wine" SKIP_RETURN_CODE 77 TIMEOUT ${TWX_TIMEOUT_WIN_PROGRAM})
endfunction()

# twx_add_gtest(<name> SOURCES ... [LIBS ...] [DISPLAY])
# Natively every TEST becomes its own ctest test; under Wine the program is one
# ctest test (one Wine process start instead of one per case), and GoogleTest
# lists the cases in the output.
function(twx_add_gtest name)
  cmake_parse_arguments(T "DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} twx_test_support GTest::gtest_main)
  if(WIN32)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${TWX_WINE_DIR}/run)
    add_test(NAME win.${name} COMMAND ${name} --gtest_color=no
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    if(T_DISPLAY)
      twx_win_test_properties(win.${name} DISPLAY)
    else()
      twx_win_test_properties(win.${name})
    endif()
  else()
    gtest_discover_tests(${name} TEST_PREFIX native. PROPERTIES LABELS native TIMEOUT ${TWX_TIMEOUT_NATIVE}
                         ENVIRONMENT "TWX_ARTIFACTS=${TWX_ARTIFACTS_DIR}")
  endif()
endfunction()
