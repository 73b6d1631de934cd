# The layers: which folders each folder's files may include ("x/*" is every
# folder under x). A file always includes its own folder; an #include <...>
# is looked at only for the libraries in PROPIOS below. Lower layers never
# include higher ones, so each target links only what is below it. Run as
#   cmake -DRAIZ=<source tree> -P cmake/capas.cmake
# (the build runs it on every build); every include that goes up a layer, or
# sideways into a folder not listed, fails with its file and line. A folder
# of sources that is not in the table fails too: a new one says where it
# stands here first.
cmake_minimum_required(VERSION 3.25)

set(CAPAS
  # What the desktop platform was, lowest first.
  # Files, paths, locks, the temporary folder, Ctrl+C, Fallo, the clerk's
  # messages, the fault seam.
  "platform/sistema:"
  # The old runtime's value rules: Vb, Cp1252, TextoSql, ValorColumna.
  "platform/valores:platform/sistema"
  # What a database engine provides (Backend, MotorDbase, FilaDirecta).
  "platform/motor:platform/valores platform/sistema"
  # The dBASE engine, over shapelib (known nowhere else).
  "platform/dbase:platform/motor platform/valores platform/sistema"
  # The SQLite, ODBC and dry-run engines, and the connections and
  # recordsets that open every engine, the dBASE one included.
  "platform/sql:platform/dbase platform/motor platform/valores platform/sistema"
  # The old program's start-up routines and settings.
  "startup:platform/*"
  # ContaPlus rows from explicit values: nothing of the transfer.
  "contaplus:platform/*"
  # The report of a run, from its summary and the files it wrote: nothing
  # of the transfer.
  "report:platform/*"
  "transfer:report contaplus startup platform/*"
  "windows:transfer report startup contaplus platform/*"
  # The hotel's databases made from nothing.
  "demo:platform/*"
  "app:windows transfer report startup demo contaplus platform/*"
  # Tests: what the folder they test may include, and their support.
  "tests/support:transfer report startup demo contaplus platform/*"
  "tests/platform:tests/support platform/*"
  "tests/startup:tests/support startup platform/*"
  # Two of its tests check contaplus rows against a whole transfer.
  "tests/contaplus:tests/support contaplus transfer report startup platform/*"
  "tests/transfer:tests/support transfer report contaplus startup platform/*"
  "tests/report:report platform/*"
  "tests/windows:tests/support windows transfer report startup contaplus platform/*"
  "tests/demo:tests/support demo platform/*"
  "bench:tests/support platform/*")

# Libraries a few folders keep to themselves: their headers (#include <...>)
# and the folders that may include them (the targets that link them).
set(PROPIOS
  "shapefil.h:platform/dbase tests/platform tests/transfer tests/report"
  # A dry run copies the hotel's databases, and the demo writes them, with
  # SQLite's own calls.
  "sqlite3.h:platform/sql demo transfer tests/platform tests/transfer bench"
  "sql.h:platform/sql tests/platform"
  "sqlext.h:platform/sql tests/platform")

# Not sources of the program: the build trees and this check's own fixture.
set(FUERA "^(build[^/]*|[.][^/]*|tests/capas)/")

if(NOT RAIZ)
  message(FATAL_ERROR "capas.cmake: falta -DRAIZ=<carpeta>")
endif()

set(carpetas "")
foreach(capa ${CAPAS})
  string(REGEX MATCH "^([^:]*):(.*)$" _ "${capa}")
  list(APPEND carpetas "${CMAKE_MATCH_1}")
  string(REPLACE " " ";" "puede_${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
endforeach()
foreach(p ${PROPIOS})
  string(REGEX MATCH "^([^:]*):(.*)$" _ "${p}")
  list(APPEND propios "${CMAKE_MATCH_1}")
  string(REPLACE " " ";" "usan_${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
endforeach()

# Whether a file of `carpeta` may include one of `destino`.
function(permitido carpeta destino salida)
  set(${salida} FALSE PARENT_SCOPE)
  if(destino STREQUAL carpeta)
    set(${salida} TRUE PARENT_SCOPE)
    return()
  endif()
  foreach(p ${puede_${carpeta}})
    if(p MATCHES "^(.*)/[*]$")
      string(LENGTH "${CMAKE_MATCH_1}/" n)
      string(SUBSTRING "${destino}/" 0 ${n} inicio)
      if(inicio STREQUAL "${CMAKE_MATCH_1}/")
        set(${salida} TRUE PARENT_SCOPE)
        return()
      endif()
    elseif(p STREQUAL destino)
      set(${salida} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# Line number of the first line of `texto` (a file's contents) that is
# `linea`: the file split at its newlines once the characters a CMake list
# would take for its own are out of the way.
function(numero_de_linea texto linea salida)
  foreach(c "\\" ";" "[" "]")
    string(REPLACE "${c}" "_" texto "${texto}")
    string(REPLACE "${c}" "_" linea "${linea}")
  endforeach()
  string(REPLACE "\n" ";" lineas "${texto}")
  list(FIND lineas "${linea}" i)
  math(EXPR i "${i} + 1")
  set(${salida} ${i} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE fuentes RELATIVE "${RAIZ}" "${RAIZ}/*.h" "${RAIZ}/*.cpp" "${RAIZ}/*.c")
list(SORT fuentes)
set(fallos "")
foreach(f ${fuentes})
  if(f MATCHES "${FUERA}")
    continue()
  endif()
  get_filename_component(carpeta "${f}" DIRECTORY)
  if(NOT carpeta IN_LIST carpetas)
    string(APPEND fallos "${f}: ${carpeta} is not in the layers of cmake/capas.cmake\n")
    continue()
  endif()
  file(STRINGS "${RAIZ}/${f}" lineas REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(l IN LISTS lineas)
    if(l MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
      set(incluido "<${CMAKE_MATCH_1}>")
      set(si TRUE)
      if(CMAKE_MATCH_1 IN_LIST propios AND NOT carpeta IN_LIST usan_${CMAKE_MATCH_1})
        set(si FALSE)
      endif()
    else()
      string(REGEX MATCH "\"([^\"]+)\"" _ "${l}")
      set(incluido "${CMAKE_MATCH_1}")
      get_filename_component(destino "${incluido}" DIRECTORY)
      # "x.moc", "ui_x.h": next to the file or made by the build.
      set(si TRUE)
      if(NOT destino STREQUAL "")
        permitido("${carpeta}" "${destino}" si)
      endif()
    endif()
    if(NOT si)
      file(READ "${RAIZ}/${f}" texto)
      numero_de_linea("${texto}" "${l}" n)
      string(APPEND fallos "${f}:${n}: includes ${incluido}, which ${carpeta} may not include\n")
    endif()
  endforeach()
endforeach()

if(fallos)
  # Unwrapped, one line each, so an editor can jump to them.
  message(NOTICE "${fallos}")
  message(FATAL_ERROR "Includes across the layers (cmake/capas.cmake)")
endif()
