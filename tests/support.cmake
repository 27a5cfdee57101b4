# Support library tests: the portable helpers on the host, the Win32
# modules under Wine (x86_64 build).
if(NOT WIN32)
  tarn_add_gtest(tarn_support_tests
    SOURCES host/support_strutils_test.cpp
            host/support_core_test.cpp
    LIBS tarn_support_core)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/support/support_win.cmake)
endif()
