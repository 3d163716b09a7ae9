# Makes a delay-load import library of one system DLL from MinGW's own
# import library: the DLL is then loaded at the first call of any of its
# functions instead of at the program's start.
#   cmake -DNM=... -DDLLTOOL=... -DIMPLIB=libx.a -DDLL=x -DOUT=libx_delay.a -P delay_import.cmake
execute_process(COMMAND ${NM} -g ${IMPLIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "cannot list ${IMPLIB}")
endif()
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
list(REMOVE_DUPLICATES imports)
set(def "LIBRARY ${DLL}.dll\nEXPORTS\n")
foreach(symbol IN LISTS imports)
  string(REGEX REPLACE "^__imp_" "" name "${symbol}")
  string(APPEND def "  ${name}\n")
endforeach()
file(WRITE "${OUT}.def" "${def}")
execute_process(COMMAND ${DLLTOOL} --input-def "${OUT}.def" --output-delaylib "${OUT}" --dllname "${DLL}.dll"
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "dlltool could not make ${OUT}")
endif()
