# The Win32 modules of the support library under Wine (x86_64 build). The
# test program carries a VERSIONINFO of 1.10.0.0 so the version tests have a
# PE file with known version words: the program itself.
tarn_add_gtest(tarn_support_wintests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/../win/support_regini_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../win/support_files_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../win/support_graphics_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../win/support_shell_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SupportWinTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../win/OSInfoAtStart.cpp
          ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.rc
  LIBS tarn_support_win)
target_include_directories(tarn_support_wintests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
tarn_test_seams(tarn_support_wintests)
