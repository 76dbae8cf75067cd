# Installs the build into a scratch prefix and runs the command line through
# its link in bin/ from another folder: it must find Plugins/ beside the real
# executable.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
  OUTPUT_QUIET RESULT_VARIABLE installed)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file share/applications/wordloom.desktop share/icons/hicolor/scalable/apps/wordloom.svg bin/wordloom)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/wordloom-cli" plugins WORKING_DIRECTORY /
  OUTPUT_VARIABLE listed RESULT_VARIABLE listedCode)
if(NOT listedCode EQUAL 0 OR NOT listed STREQUAL "CSV\nJSON\nPO\n")
  message(FATAL_ERROR "installed wordloom-cli lists: '${listed}' (exit ${listedCode})")
endif()
