# `tarnpack build` tests: the INI reading, the project checks and ordering on
# their own, and whole builds read back through the stub's archive reader.
# The builder library links the reader, so both wait for its target.
if(NOT WIN32 AND TARGET tarn_pack_project AND TARGET tarn_archive)
  tarn_add_gtest(tarn_packbuild_check_tests
    SOURCES host/packbuild_checks_test.cpp host/packbuild_fixture.cpp
    LIBS tarn_pack_project)
  tarn_add_gtest(tarn_packbuild_build_tests
    SOURCES host/packbuild_build_test.cpp host/packbuild_fixture.cpp
    LIBS tarn_pack_project tarn_archive)
endif()
