# Installs the build into a fresh prefix, then builds and runs the example
# client against that copy only, through find_package and through pkg-config.
foreach(variable BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(OUTPUT "${out}" PARENT_SCOPE)
endfunction()

# A sanitized library needs its run time in the program that loads it.
set(sanitize_flags "")
if(SANITIZE)
  set(sanitize_flags -fsanitize=${SANITIZE})
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/client -B ${WORK_DIR}/client -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${sanitize_flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/client)
run(${WORK_DIR}/client/device-ui-example ${SOURCE_DIR}/examples/device-ui.xml night)
if(NOT OUTPUT MATCHES "window volume at \\(200,140\\)-\\(600,340\\), colour #282830\n  label: Volume\n  slider")
  message(FATAL_ERROR "unexpected output of the example client:\n${OUTPUT}")
endif()

file(GLOB_RECURSE pc_files ${prefix}/*/kvorXMLParser.pc)
if(NOT pc_files)
  message(FATAL_ERROR "no kvorXMLParser.pc installed")
endif()
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  get_filename_component(pc_dir "${pc_files}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs kvorXMLParser)
  string(STRIP "${OUTPUT}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(c++ -std=c++17 ${SOURCE_DIR}/examples/client/main.cpp ${flags} ${sanitize_flags} -o ${WORK_DIR}/example-pc)
endif()
