# Packs the release a user downloads: WindowInventory-<version>.zip, a folder of that name with
# the built programs, stripped of their debugging information, and the read-me (docs/ReadMe.txt,
# with Windows line ends); prints the zip's SHA-256 as sha256sum does. The version is read from
# the built exe's version resource.
#
#   cmake -DBIN=<folder of the built programs> -DOUT=<folder for the zip> -DTOOLS32=<prefix of the
#         32-bit binutils, i686-w64-mingw32-> -DTOOLS64=<the 64-bit one's> -P cmake/Package.cmake
foreach(variable BIN OUT TOOLS32 TOOLS64)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "Package.cmake: -D${variable}=... is missing")
  endif()
endforeach()
set(files32 WindowInventory.exe WindowInventory.com WindowInventoryHook.dll)
set(files64 WindowInventoryHook64.dll WindowInventoryHost64.exe)
set(files ${files32} ${files64})
foreach(file ${files})
  if(NOT EXISTS ${BIN}/${file})
    message(FATAL_ERROR "Package.cmake: ${BIN}/${file} is not built")
  endif()
endforeach()

execute_process(COMMAND ${TOOLS32}windres -J coff -O rc -i ${BIN}/WindowInventory.exe
                OUTPUT_VARIABLE resources RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR NOT resources MATCHES "FILEVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)")
  message(FATAL_ERROR "Package.cmake: no version resource in ${BIN}/WindowInventory.exe")
endif()
set(version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
set(name WindowInventory-${version})

set(stage ${OUT}/${name})
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip)
file(MAKE_DIRECTORY ${stage})
foreach(bits 32 64)
  foreach(file ${files${bits}})
    execute_process(COMMAND ${TOOLS${bits}}strip --strip-debug -o ${stage}/${file} ${BIN}/${file} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Package.cmake: ${BIN}/${file} could not be stripped")
    endif()
  endforeach()
endforeach()
file(READ ${CMAKE_CURRENT_LIST_DIR}/../docs/ReadMe.txt readme)
string(REPLACE "@VERSION@" "${version}" readme "${readme}")
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${stage}/ReadMe.txt "${readme}")

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name} WORKING_DIRECTORY ${OUT}
                RESULT_VARIABLE failed)
file(REMOVE_RECURSE ${stage})
if(failed)
  message(FATAL_ERROR "Package.cmake: ${OUT}/${name}.zip could not be written")
endif()
file(SHA256 ${OUT}/${name}.zip hash)
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${hash}  ${OUT}/${name}.zip")
