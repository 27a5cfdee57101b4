# The setup's own resources as Windows reads them: a probe program run under
# Wine by tests/e2e/windows_resources.sh.
if(WIN32)
  add_executable(tarn-resource-probe ${CMAKE_CURRENT_SOURCE_DIR}/windows/ResourceProbe.cpp)
  target_compile_options(tarn-resource-probe PRIVATE -Wall -Wextra -municode)
  target_link_options(tarn-resource-probe PRIVATE -static -municode)
  target_link_libraries(tarn-resource-probe PRIVATE version gdi32 shell32)
endif()
