# Runs the program with nothing in its environment but PATH, as from a text
# console or an SSH session without a display: it must say in one line on
# stderr that it needs a desktop session, and end with a failure status.
# Usage: cmake -DPROGRAM=<zavio> [-DPLATFORM=xcb] -P no_desktop_session.cmake
set(environment "PATH=$ENV{PATH}")
if(DEFINED PLATFORM)
  list(APPEND environment "QT_QPA_PLATFORM=${PLATFORM}")
endif()
execute_process(COMMAND env -i ${environment} "${PROGRAM}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 20)
if(status EQUAL 0 OR NOT status MATCHES "^[0-9]+$")
  message(FATAL_ERROR "expected a failure exit status, got '${status}'; stderr:\n${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "expected nothing on stdout, got:\n${out}")
endif()
if(NOT err MATCHES "^zavio: [^\n]*needs a desktop session \\(X11 or Wayland\\)[^\n]*\n$")
  message(FATAL_ERROR "expected one line saying a desktop session is needed, got:\n${err}")
endif()
if(err MATCHES "reinstall")
  message(FATAL_ERROR "Qt's reinstall advice got through:\n${err}")
endif()
message(STATUS "exit status ${status}: ${err}")
