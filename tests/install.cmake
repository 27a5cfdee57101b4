# Installation engine tests: the portable rules on the host; under Wine the
# instruction reading, registry values, log, restart records and message
# window, plus the helper programs of the end-to-end installation tests
# (tests/e2e/install_*.sh).
if(NOT WIN32)
  tarn_add_gtest(tarn_install_rules_tests
    SOURCES host/install_rules_test.cpp host/install_logtext_test.cpp
            ${CMAKE_SOURCE_DIR}/src/install/LogText.cpp
    LIBS tarn_rules tarn_support_core)
  target_include_directories(tarn_install_rules_tests PRIVATE ${CMAKE_SOURCE_DIR}/src/install)
elseif(TARGET tarn_stub_objects)
  tarn_add_gtest(tarn_install_win_tests
    SOURCES win/install_instructions_test.cpp
            win/install_log_test.cpp
            win/install_reboot_test.cpp
            win/install_msg_test.cpp
            install/InstallTestUtil.cpp
            support/SupportWinTest.cpp
            win/OSInfoAtStart.cpp
    LIBS tarn_stub_objects)
  tarn_stub_resources(tarn_install_win_tests)
  target_include_directories(tarn_install_win_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/install
                             ${CMAKE_CURRENT_SOURCE_DIR}/support)

  add_executable(tarn-hold-file install/HoldFile.cpp)
  target_link_options(tarn-hold-file PRIVATE -static)
  add_executable(tarn-newer-version install/NewerVersion.cpp install/NewerVersion.rc)
  target_link_options(tarn-newer-version PRIVATE -static)
endif()
