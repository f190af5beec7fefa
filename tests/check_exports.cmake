# Fails unless the dynamic symbols that LIB defines are exactly EXPECTED
# (names separated by commas, in any order).
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" _lines "${_out}")
set(_names)
foreach(_line IN LISTS _lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" _name "${_line}")
  list(APPEND _names "${_name}")
endforeach()
string(REPLACE "," ";" _expected "${EXPECTED}")
list(SORT _names)
list(SORT _expected)
if(NOT _names STREQUAL _expected)
  message(FATAL_ERROR "${LIB} exports: ${_names}")
endif()
