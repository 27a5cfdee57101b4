# Archive reader tests: the reader and tarnpack's reading commands on the
# host; the Win32 file layer under Wine. The reader's own tests (hand-made
# streams, faults, the real archives) also run in the i686 build, the only
# one that compiles the decoder without SSE2, as the shipped stub does.
add_library(tarn_archive_testkit STATIC ${CMAKE_CURRENT_LIST_DIR}/archive/ArcTestKit.cpp
                                        ${CMAKE_CURRENT_LIST_DIR}/archive/Vectors.cpp)
target_include_directories(tarn_archive_testkit PUBLIC ${CMAKE_CURRENT_LIST_DIR}/archive)
target_link_libraries(tarn_archive_testkit PUBLIC tarn_archive)
target_compile_definitions(tarn_archive_testkit PRIVATE TARN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

if(WIN32)
  tarn_add_gtest(tarn_archive_win_tests
    SOURCES win/archive_win32_test.cpp
    LIBS tarn_archive_testkit tarn_archive)
endif()

if(NOT WIN32 OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  tarn_add_gtest(tarn_archive_tests
    SOURCES host/archive_vectors_test.cpp
            host/archive_container_test.cpp
            host/archive_decoder_test.cpp
            host/archive_faults_test.cpp
    LIBS tarn_archive_testkit tarn_archive)
endif()

if(NOT WIN32)
  # Setups tarnpack refuses to build, for the end-to-end tests (WizardBuildUnchecked in tests/e2e/lib.sh).
  add_executable(tarn-test-setup ${CMAKE_CURRENT_LIST_DIR}/archive/MakeTestSetup.cpp)
  target_link_libraries(tarn-test-setup PRIVATE tarn_archive_testkit)
  if(TARGET tarnpack)
    tarn_add_gtest(tarn_archive_tarnpack_tests
      SOURCES host/archive_tarnpack_test.cpp
      LIBS tarn_archive_testkit)
    target_compile_definitions(tarn_archive_tarnpack_tests PRIVATE TARNPACK_PATH="$<TARGET_FILE:tarnpack>")
    add_dependencies(tarn_archive_tarnpack_tests tarnpack)
  endif()
endif()

# The fuzz corpus replayed without libFuzzer: decoding the seeds (and any
# crash inputs committed there) must never crash.
if(NOT WIN32)
  add_executable(tarn_fuzz_archive_replay ${CMAKE_SOURCE_DIR}/fuzz/archive/fuzz.cpp ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
  target_link_libraries(tarn_fuzz_archive_replay PRIVATE tarn_archive)
  add_test(NAME archive_fuzz_corpus_replay
           COMMAND tarn_fuzz_archive_replay ${CMAKE_SOURCE_DIR}/fuzz/archive/corpus)
endif()
