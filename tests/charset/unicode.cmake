# Reruns tools/gen_unicode.py into the build tree and compares every file it writes byte for byte with
# the committed charset/data/unicode_* files. Included by tests/CMakeLists.txt; ctest runs this same file
# with cmake -P, which takes the second branch.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    set(zelvora_unicode_python ${Python3_EXECUTABLE})
  else()
    set(zelvora_unicode_python python3)
  endif()
  add_test(NAME charset.unicode_generated_tables_are_current
    COMMAND ${CMAKE_COMMAND}
      -DPYTHON=${zelvora_unicode_python}
      -DGENERATOR=${PROJECT_SOURCE_DIR}/tools/gen_unicode.py
      -DCOMMITTED_DIR=${PROJECT_SOURCE_DIR}/charset/data
      -DOUTPUT_DIR=${CMAKE_CURRENT_BINARY_DIR}/generated_unicode
      -P ${CMAKE_CURRENT_LIST_FILE})
  return()
endif()

file(REMOVE_RECURSE ${OUTPUT_DIR})
execute_process(COMMAND ${PYTHON} ${GENERATOR} --output-dir ${OUTPUT_DIR} RESULT_VARIABLE generator_status)
if(NOT generator_status EQUAL 0)
  message(FATAL_ERROR "tools/gen_unicode.py failed (${generator_status})")
endif()
# Both directions: every generated file is committed unchanged, and no committed table is left over.
file(GLOB generated RELATIVE ${OUTPUT_DIR} ${OUTPUT_DIR}/*)
file(GLOB committed RELATIVE ${COMMITTED_DIR} ${COMMITTED_DIR}/unicode_*)
list(SORT generated)
list(SORT committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "tools/gen_unicode.py writes [${generated}] but charset/data holds [${committed}]")
endif()
foreach(name IN LISTS generated)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT_DIR}/${name} ${COMMITTED_DIR}/${name}
    RESULT_VARIABLE compare_status)
  if(NOT compare_status EQUAL 0)
    message(FATAL_ERROR "charset/data/${name} differs from what tools/gen_unicode.py writes "
      "(${OUTPUT_DIR}/${name}); rerun the generator and commit its output")
  endif()
endforeach()
list(LENGTH generated generated_count)
message(STATUS "charset/data: ${generated_count} Unicode table files match their generator")
