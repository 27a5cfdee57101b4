# The end-to-end harness: the driver that works the windows of a program
# under test, and a probe of the support library's message boxes for it.
# Both are Win32 programs run under Wine by tests/e2e/*.sh, not by ctest.
if(WIN32)
  add_executable(tarn-driver ${CMAKE_CURRENT_SOURCE_DIR}/driver/TarnDriver.cpp)
  target_compile_options(tarn-driver PRIVATE -Wall -Wextra)
  target_link_options(tarn-driver PRIVATE -static)

  add_executable(tarn-msgbox-probe ${CMAKE_CURRENT_SOURCE_DIR}/driver/MsgBoxProbe.cpp)
  target_link_libraries(tarn-msgbox-probe PRIVATE tarn_support_win)
  target_compile_options(tarn-msgbox-probe PRIVATE -Wall -Wextra)
  target_link_options(tarn-msgbox-probe PRIVATE -static)
endif()

# Tests of the scripts around the builds (host only):
#   HarnessStubCheck  the stub check of scripts/test.sh, against small programs
#                     that keep or break its limits (needs the i686 mingw compiler)
#   HarnessInstall    `cmake --install` of the three builds into a fresh prefix,
#                     and the demo built by the installed tarnpack alone; skipped
#                     (exit code 77) until the Windows builds have made their stubs
#   HarnessDeps       the decisions of scripts/deps.sh about 32-bit Wine
#   HarnessE2eBitness the end-to-end tests' bitness helpers, without Wine (also
#                     their i686 branch, which machines without 32-bit code
#                     never take otherwise); skipped until the stubs are built
if(NOT WIN32)
  add_test(NAME HarnessStubCheck COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/harness/stub_check_test.sh)
  set_tests_properties(HarnessStubCheck PROPERTIES TIMEOUT 120)
  add_test(NAME HarnessDeps COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/harness/deps_test.sh)
  set_tests_properties(HarnessDeps PROPERTIES TIMEOUT 120)
  add_test(NAME HarnessE2eBitness COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/harness/e2e_bitness_test.sh)
  set_tests_properties(HarnessE2eBitness PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
  if(TARGET tarnpack)
    add_test(NAME HarnessInstall
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/harness/install_test.sh ${CMAKE_BINARY_DIR}
                     ${CMAKE_SOURCE_DIR}/build/win32 ${CMAKE_SOURCE_DIR}/build/win64 ${PROJECT_VERSION})
    set_tests_properties(HarnessInstall PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
  endif()
endif()
