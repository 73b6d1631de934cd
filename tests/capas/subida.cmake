# The layer check run over arbol/: it must fail, naming every include that
# goes up or sideways with its file and line, and nothing else.
execute_process(COMMAND ${CMAKE_COMMAND} -DRAIZ=${ARBOL} -P ${CAPAS}
  RESULT_VARIABLE r OUTPUT_VARIABLE salida ERROR_VARIABLE salida)
if(r EQUAL 0)
  message(FATAL_ERROR "The check passed over ${ARBOL}:\n${salida}")
endif()
set(esperado
  "contaplus/Fila.cpp:4: includes transfer/Traspaso.h, which contaplus may not include"
  "contaplus/Fila.cpp:5: includes <shapefil.h>, which contaplus may not include"
  "platform/sistema/Bajo.h:3: includes platform/sql/Alto.h, which platform/sistema may not include")
string(REGEX MATCHALL "[^\n]*may not include[^\n]*" hallado "${salida}")
if(NOT hallado STREQUAL esperado)
  message(FATAL_ERROR "Expected:\n${esperado}\nfound:\n${salida}")
endif()
