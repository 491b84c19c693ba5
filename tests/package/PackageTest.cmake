# The release as a user gets it: packed as scripts/package packs it into a temporary folder,
# unpacked into a fresh folder of the Wine prefix, and run from there by package_tests.exe, which
# learns the folder from WINDOWINVENTORY_RELEASE. Both folders go afterwards. CTest runs it:
#   cmake -DBIN=... -DTESTS=<package_tests.exe> -DRUN=<scripts/wine-run> -DTOOLS32=... -DTOOLS64=...
#         -P PackageTest.cmake
string(RANDOM LENGTH 12 run)
set(temporary "$ENV{TMPDIR}")
if(NOT temporary)
  set(temporary /tmp)
endif()
set(packed ${temporary}/windowinventory-package-${run})
set(unpacked "$ENV{WINEPREFIX}/drive_c/WindowInventory-release-${run}")
file(MAKE_DIRECTORY ${packed} ${unpacked})

execute_process(COMMAND ${CMAKE_COMMAND} -DBIN=${BIN} -DOUT=${packed} -DTOOLS32=${TOOLS32} -DTOOLS64=${TOOLS64}
                        -P ${CMAKE_CURRENT_LIST_DIR}/../../cmake/Package.cmake
                RESULT_VARIABLE failed)
file(GLOB zip ${packed}/WindowInventory-*.zip)
set(status 1)
if(NOT failed AND zip)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE failed)
  file(GLOB release LIST_DIRECTORIES true RELATIVE ${unpacked} ${unpacked}/WindowInventory-*)
  if(NOT failed AND release)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "WINDOWINVENTORY_RELEASE=C:\\WindowInventory-release-${run}\\${release}"
                            ${RUN} ${TESTS}
                    RESULT_VARIABLE status)
  else()
    message("PackageTest: ${zip} did not unpack into one folder")
  endif()
else()
  message("PackageTest: no package was made")
endif()
file(REMOVE_RECURSE ${packed} ${unpacked})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "PackageTest: the release's tests failed")
endif()
