# Security tests' helper programs (x86_64 build), run under Wine by
# tests/e2e/security_*.sh. (The planted DLLs of security_dll_planting.sh are
# built by the test itself, for the setup's architecture.)
if(WIN32)
  add_executable(tarn-show-security ${CMAKE_CURRENT_SOURCE_DIR}/security/ShowSecurity.cpp)
  target_compile_options(tarn-show-security PRIVATE -Wall -Wextra)
  target_link_options(tarn-show-security PRIVATE -static)
endif()
