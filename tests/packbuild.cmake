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

# The setup's own resources (manifest level, version information, icon):
# written into stand-ins for the stub, i686 and x86_64, that carry the
# stub's resources and are linked like it. They are built here with the
# mingw-w64 cross compilers; without them the tests skip themselves.
if(NOT WIN32 AND TARGET tarn_pack_project)
  set(ResourceStubs "")
  foreach(Arch i686 x86_64)
    find_program(TARN_${Arch}_GCC ${Arch}-w64-mingw32-gcc-posix)
    find_program(TARN_${Arch}_WINDRES ${Arch}-w64-mingw32-windres)
    if(TARN_${Arch}_GCC AND TARN_${Arch}_WINDRES)
      set(Stub ${CMAKE_CURRENT_BINARY_DIR}/resource-stub-${Arch}.exe)
      set(Resources ${CMAKE_CURRENT_BINARY_DIR}/resource-stub-${Arch}.res.o)
      add_custom_command(OUTPUT ${Stub}
        COMMAND ${TARN_${Arch}_WINDRES} -O coff -I ${CMAKE_SOURCE_DIR}/resources -I ${CMAKE_BINARY_DIR}/generated
                ${CMAKE_SOURCE_DIR}/resources/Tarn.rc ${Resources}
        COMMAND ${TARN_${Arch}_GCC} -static -s -mwindows -Wl,--nxcompat -Wl,--dynamicbase
                -Wl,--enable-reloc-section -o ${Stub}
                ${CMAKE_CURRENT_SOURCE_DIR}/packbuild/ResourceStub.c ${Resources}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packbuild/ResourceStub.c ${CMAKE_SOURCE_DIR}/resources/Tarn.rc
                ${CMAKE_SOURCE_DIR}/resources/Tarn.manifest ${CMAKE_SOURCE_DIR}/resources/Tarn.ico
                ${CMAKE_SOURCE_DIR}/resources/ResourceIds.h ${CMAKE_BINARY_DIR}/generated/TarnVersion.h
        VERBATIM)
      list(APPEND ResourceStubs ${Stub})
    endif()
  endforeach()
  add_custom_target(tarn_resource_stubs ALL DEPENDS ${ResourceStubs})
  tarn_add_gtest(tarn_packbuild_resource_tests
    SOURCES host/packbuild_resources_test.cpp host/packbuild_fixture.cpp host/pe_test_reader.cpp
    LIBS tarn_pack_project tarn_archive)
  target_compile_definitions(tarn_packbuild_resource_tests PRIVATE
    TARN_RESOURCE_STUB_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  add_dependencies(tarn_packbuild_resource_tests tarn_resource_stubs)
endif()
