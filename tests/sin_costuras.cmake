# Reads the program's bytes as `strings` does, in one-byte and in UTF-16
# text: the shipped program (ENTREGADO) must hold none of the test seams'
# variable names; the test build (PRUEBA) all of them, which shows the
# reading finds them where they are.
set(nombres ENLACE_AVERIA ENLACE_AVERIA_RECUENTO ENLACE_SINCRONIZADOS ENLACE_CAPTURA
            ENLACE_RESPUESTAS_AUTOMATICAS)

function(textos binario salida)
  if(NOT EXISTS "${binario}")
    message(FATAL_ERROR "No está ${binario}")
  endif()
  file(STRINGS "${binario}" a REGEX "ENLACE_")
  file(STRINGS "${binario}" b REGEX "ENLACE_" ENCODING UTF-16LE)
  set(${salida} "${a};${b}" PARENT_SCOPE)
endfunction()

textos("${ENTREGADO}" entregado)
textos("${PRUEBA}" prueba)
set(fallos "")
foreach(n ${nombres})
  string(FIND "${entregado}" "${n}" en_entregado)
  string(FIND "${prueba}" "${n}" en_prueba)
  if(NOT en_entregado EQUAL -1)
    string(APPEND fallos "${ENTREGADO} lee ${n}\n")
  endif()
  if(en_prueba EQUAL -1)
    string(APPEND fallos "${PRUEBA} no lee ${n}\n")
  endif()
endforeach()
if(fallos)
  message(FATAL_ERROR "${fallos}")
endif()
