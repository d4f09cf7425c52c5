# Runs the build tree's console with another libvelkor.so first on LD_LIBRARY_PATH and checks that
# the loader took that one, not the console's own, without rebuilding anything.
# Usage: cmake -DCONSOLE=<quillon> -DSUBSTITUTE_DIR=<dir holding libvelkor.so> -P CheckSubstitute.cmake
foreach(variable CONSOLE SUBSTITUTE_DIR)
    if(NOT ${variable})
        message(FATAL_ERROR "${variable} not given")
    endif()
endforeach()

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY LD_LIBRARY_PATH=${SUBSTITUTE_DIR}
            QT_QPA_PLATFORM=offscreen LD_DEBUG=libs
            timeout 3 ${CONSOLE}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
# timeout's 124: the console was still running, as it should with nobody closing it.
if(NOT result EQUAL 124)
    message(FATAL_ERROR "the console did not keep running (exit ${result}):\n${output}")
endif()
string(REGEX MATCH "calling init: ([^\n]*libvelkor\\.so)" loaded "${output}")
if(NOT loaded)
    message(FATAL_ERROR "libvelkor.so was not loaded:\n${output}")
endif()
file(REAL_PATH ${CMAKE_MATCH_1} loadedPath)
file(REAL_PATH ${SUBSTITUTE_DIR}/libvelkor.so substitute)
if(NOT loadedPath STREQUAL substitute)
    message(FATAL_ERROR "the console loaded ${loadedPath}, not the substitute ${substitute}")
endif()
message(STATUS "the console ran on the substitute ${loadedPath}")
