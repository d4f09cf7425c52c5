# Installs the build into PREFIX (emptied first), checks the tree, and runs the installed console
# on the offscreen platform for a few seconds with the dynamic loader reporting what it loads.
# Usage: cmake -DBUILD_DIR=<build> -DPREFIX=<empty dir> -P CheckInstall.cmake
foreach(variable BUILD_DIR PREFIX)
    if(NOT ${variable})
        message(FATAL_ERROR "${variable} not given")
    endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed (${result}):\n${output}")
endif()

foreach(file bin/quillon bin/velkor-device lib/libvelkor.so
        share/applications/quillon.desktop share/icons/hicolor/48x48/apps/quillon.png)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# The build tree's library must not be reachable any other way than the installed RUNPATH.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=DISPLAY
            QT_QPA_PLATFORM=offscreen LD_DEBUG=libs
            timeout 3 ${PREFIX}/bin/quillon
    WORKING_DIRECTORY ${PREFIX}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
# timeout's 124: the console was still running, as it should with nobody closing it.
if(NOT result EQUAL 124)
    message(FATAL_ERROR "the installed console did not keep running (exit ${result}):\n${output}")
endif()
file(REAL_PATH ${PREFIX}/lib/libvelkor.so installed)
string(REGEX MATCH "calling init: ([^\n]*libvelkor\\.so)" loaded "${output}")
if(NOT loaded)
    message(FATAL_ERROR "libvelkor.so was not loaded:\n${output}")
endif()
file(REAL_PATH ${CMAKE_MATCH_1} loadedPath)
if(NOT loadedPath STREQUAL installed)
    message(FATAL_ERROR "the console loaded ${CMAKE_MATCH_1}, not ${installed}")
endif()
message(STATUS "the installed console ran on ${loadedPath}")
