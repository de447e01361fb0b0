# Validates the generated desktop entry and AppStream metadata. Any remark of
# desktop-file-validate fails, as do appstreamcli's errors, warnings and
# infos; only its pedantic notes pass.
foreach(tool desktop-file-validate appstreamcli)
  find_program(path_of_${tool} ${tool})
  if(NOT path_of_${tool})
    message(FATAL_ERROR "${tool} is missing; scripts/deps.sh installs it")
  endif()
endforeach()

execute_process(COMMAND ${path_of_desktop-file-validate} ${DESKTOP}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate ${DESKTOP} (status ${status}):\n${output}")
endif()

execute_process(COMMAND ${path_of_appstreamcli} validate --no-net --no-color ${METAINFO}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR output MATCHES "(^|\n)[EWI]: ")
  message(FATAL_ERROR "appstreamcli validate ${METAINFO} (status ${status}):\n${output}")
endif()
message(STATUS "${output}")
