# Installs the build into a scratch prefix, builds the consumer project against
# the package and runs it (under the build's emulator when there is one).
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed")
endif()

set(args -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja -DCMAKE_PREFIX_PATH=${prefix})
if(TOOLCHAIN)
    list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
if(SANITIZE)
    list(APPEND args "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
endif()
foreach(step IN ITEMS configure build)
    if(step STREQUAL build)
        set(args --build ${WORK_DIR}/build)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "consumer ${step} failed:\n${out}")
    endif()
endforeach()

# The program runs beside the library, as a host ships it.
file(GLOB runtime ${prefix}/bin/*.dll)
file(COPY ${runtime} DESTINATION ${WORK_DIR}/build)
set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
execute_process(COMMAND ${EMULATOR} ${WORK_DIR}/build/consumer${EXE_SUFFIX}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "consumer run failed (${rc}):\n${out}")
endif()
message(STATUS "${out}")
