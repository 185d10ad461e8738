# Build identity: tag from git (or "untagged"), build date, build type and user.
execute_process(COMMAND git describe --tags --always --dirty
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  OUTPUT_VARIABLE STALVANE_VERSION_TAG OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET RESULT_VARIABLE _git_rc)
if(NOT _git_rc EQUAL 0 OR STALVANE_VERSION_TAG STREQUAL "")
  set(STALVANE_VERSION_TAG "untagged")
endif()
string(TIMESTAMP STALVANE_VERSION_DATE "%Y-%m-%d %H:%M:%S" UTC)
if(CMAKE_BUILD_TYPE)
  set(STALVANE_VERSION_TYPE ${CMAKE_BUILD_TYPE})
else()
  set(STALVANE_VERSION_TYPE "None")
endif()
set(STALVANE_VERSION_USER "$ENV{USER}")
if(STALVANE_VERSION_USER STREQUAL "")
  set(STALVANE_VERSION_USER "unknown")
endif()
set(STALVANE_VERSION_SOURCE ${CMAKE_BINARY_DIR}/generated/version_build.cpp)
configure_file(${CMAKE_SOURCE_DIR}/cmake/version_build.cpp.in ${STALVANE_VERSION_SOURCE} @ONLY)
