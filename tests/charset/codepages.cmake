# Reruns tools/gen_codepages.py into the build tree and compares its output byte for byte with the
# committed charset/data/codepages.cpp. Included by tests/CMakeLists.txt; ctest runs this same file with
# cmake -P, which takes the second branch.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    set(zelvora_codepages_python ${Python3_EXECUTABLE})
  else()
    set(zelvora_codepages_python python3)
  endif()
  add_test(NAME charset.codepages_generated_tables_are_current
    COMMAND ${CMAKE_COMMAND}
      -DPYTHON=${zelvora_codepages_python}
      -DGENERATOR=${PROJECT_SOURCE_DIR}/tools/gen_codepages.py
      -DCOMMITTED=${PROJECT_SOURCE_DIR}/charset/data/codepages.cpp
      -DOUTPUT_DIR=${CMAKE_CURRENT_BINARY_DIR}/generated_codepages
      -P ${CMAKE_CURRENT_LIST_FILE})
  return()
endif()

file(REMOVE_RECURSE ${OUTPUT_DIR})
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${OUTPUT_DIR} RESULT_VARIABLE generator_status)
if(NOT generator_status EQUAL 0)
  message(FATAL_ERROR "tools/gen_codepages.py failed (${generator_status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT_DIR}/codepages.cpp ${COMMITTED}
  RESULT_VARIABLE compare_status)
if(NOT compare_status EQUAL 0)
  message(FATAL_ERROR "charset/data/codepages.cpp differs from what tools/gen_codepages.py writes "
    "(${OUTPUT_DIR}/codepages.cpp); rerun the generator and commit its output")
endif()
message(STATUS "charset/data/codepages.cpp matches its generator")
