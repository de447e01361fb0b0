# Configures the project afresh with ZAVIO_BUILD_TESTS=OFF in a scratch
# folder: it must not look for the test-only packages (Qt Test, GoogleTest,
# Xlib) and must not report any package as not found.
set(scratch "${WORK}/configure-without-tests")
file(REMOVE_RECURSE "${scratch}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${scratch} -DCMAKE_BUILD_TYPE=Release -DZAVIO_BUILD_TESTS=OFF
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring without tests failed:\n${output}")
endif()
if(output MATCHES "Could NOT find[^\n]*")
  message(FATAL_ERROR "configuring reports a missing package: ${CMAKE_MATCH_0}")
endif()
file(STRINGS "${scratch}/CMakeCache.txt" looked_up REGEX "^(Qt6Test|GTest|X11)_DIR:")
file(REMOVE_RECURSE "${scratch}")
if(looked_up)
  message(FATAL_ERROR "configuring without tests looked for test packages: ${looked_up}")
endif()
