# Compressor and archive writer: unit tests of the parts and round trips
# through the stub's reader.
if(NOT WIN32 AND TARGET tarn_pack_codec)
  tarn_add_gtest(tarn_pack_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host/pack_codec_test.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/host/pack_roundtrip_test.cpp
    LIBS tarn_pack_codec tarn_archive tarn_support_core)
  target_include_directories(tarn_pack_tests PRIVATE ${CMAKE_SOURCE_DIR}/src/pack/codec)
endif()

# The writer's fuzz corpus replayed without libFuzzer: every seed (and any
# finding committed there) round-trips exactly.
if(NOT WIN32 AND TARGET tarn_pack_codec)
  add_executable(tarn_fuzz_pack_replay ${CMAKE_SOURCE_DIR}/fuzz/pack/fuzz.cpp ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
  target_link_libraries(tarn_fuzz_pack_replay PRIVATE tarn_pack_codec tarn_archive)
  add_test(NAME pack_fuzz_corpus_replay COMMAND tarn_fuzz_pack_replay ${CMAKE_SOURCE_DIR}/fuzz/pack/corpus)
endif()
