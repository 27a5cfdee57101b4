# Setup stub tests: the run's logic that needs no user (sequence walking,
# languages, variables and texts, presetup sums) under Wine, linked with the
# stub's own objects and dialog templates.
if(WIN32 AND TARGET tarn_stub_objects)
  tarn_add_gtest(tarn_stub_tests
    SOURCES win/stub_sequence_test.cpp
            win/stub_texts_test.cpp
            win/stub_language_test.cpp
            win/stub_presetup_test.cpp
            win/stub_pages_test.cpp
            win/OSInfoAtStart.cpp
    LIBS tarn_stub_objects tarn_archive_testkit)
  tarn_stub_resources(tarn_stub_tests)
endif()

# The command line's parser is portable: tested on the host.
if(NOT WIN32)
  tarn_add_gtest(tarn_stub_commandline_tests
    SOURCES host/stub_commandline_test.cpp ${CMAKE_SOURCE_DIR}/src/setup/CommandLineCore.cpp
    LIBS tarn_support_core)
  target_include_directories(tarn_stub_commandline_tests PRIVATE ${CMAKE_SOURCE_DIR}/src/setup)
endif()
