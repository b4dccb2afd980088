# Fails unless the export table of the DLL LIBRARY (objdump -p) names exactly
# the two exports.
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
endif()
# The name table lists one export a line: "\t[   0] name".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" table "${listing}")
string(REGEX MATCHALL "\\[[ 0-9]+\\][ \t]+[A-Za-z_0-9@]+" entries "${CMAKE_MATCH_1}")
set(names "")
foreach(entry IN LISTS entries)
  string(REGEX MATCH "[A-Za-z_0-9@]+$" name "${entry}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected kvorCreateXmlParserInstance kvorReleaseXmlParserInstance)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}; expected exactly: ${expected}")
endif()
message(STATUS "exports: ${names}")
