# Reruns tools/gen_unicode.py into the build tree and compares every file it writes byte for byte with
# the committed charset/data/unicode_* files; then feeds it data that breaks each of its assumptions and
# expects a refusal with nothing written. Included by tests/CMakeLists.txt; ctest runs this same file
# with cmake -P (CHECK=current or CHECK=refusals), which takes the second branch.
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
      -DCHECK=current
      -P ${CMAKE_CURRENT_LIST_FILE})
  add_test(NAME charset.unicode_generator_refuses_broken_data
    COMMAND ${CMAKE_COMMAND}
      -DPYTHON=${zelvora_unicode_python}
      -DGENERATOR=${PROJECT_SOURCE_DIR}/tools/gen_unicode.py
      -DCOMMITTED_DIR=${PROJECT_SOURCE_DIR}/charset/data
      -DOUTPUT_DIR=${CMAKE_CURRENT_BINARY_DIR}/broken_unicode
      -DCHECK=refusals
      -P ${CMAKE_CURRENT_LIST_FILE})
  return()
endif()

if(CHECK STREQUAL "refusals")
  # One row per assumption: the file to extend, the lines to add ("@" stands for the field separator,
  # which a CMake list cannot hold), and the words the refusal must contain.
  set(many_deltas "")
  foreach(i RANGE 0 299)
    math(EXPR code "0x2FB00 + ${i}" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR upper "0x2FB00 + ${i} * 2 + 1000" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING ${code} 2 -1 code)
    string(SUBSTRING ${upper} 2 -1 upper)
    string(APPEND many_deltas "${code}@TEST@Ll@0@L@@@@@N@@@${upper}@@${upper}\n")
  endforeach()
  set(cases
    "UnicodeData.txt|0378@TEST@No@0@L@@@@1023@N@@@@@\n|does not fit the word"
    "UnicodeData.txt|0378@TEST@No@0@L@@@@1/256@N@@@@@\n|denominator"
    "UnicodeData.txt|0378@TEST@Mn@255@NSM@@@@@N@@@@@\n|combining class"
    "UnicodeData.txt|0378@TEST@Xx@0@L@@@@@N@@@@@\n|general category"
    "UnicodeData.txt|30000@TEST@Lo@0@L@@@@@N@@@@@\n|outside planes"
    "UnicodeData.txt|${many_deltas}|delta table"
    "SpecialCasing.txt|0101@ 0101@ 0100@ 0100 0100 0100 0100@ # TEST\n|units"
    "SpecialCasing.txt|0101@ 0101 0101@ 0100@ 0100@ # TEST\n|lower mapping"
    "SpecialCasing.txt|FB18@ FB18@ 0046@ 0046@ # TEST\n|103 special casing rows")
  foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 file_name)
    list(GET fields 1 extra)
    list(GET fields 2 expected_words)
    string(REPLACE "@" ";" extra "${extra}")
    file(REMOVE_RECURSE ${OUTPUT_DIR})
    file(COPY ${COMMITTED_DIR}/ucd-9.0.0/ DESTINATION ${OUTPUT_DIR}/ucd)
    file(CHMOD_RECURSE ${OUTPUT_DIR}/ucd FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
    file(APPEND ${OUTPUT_DIR}/ucd/${file_name} "${extra}")
    execute_process(COMMAND ${PYTHON} ${GENERATOR} --ucd-dir ${OUTPUT_DIR}/ucd --output-dir ${OUTPUT_DIR}/tables
      RESULT_VARIABLE status ERROR_VARIABLE refusal)
    if(status EQUAL 0 OR EXISTS ${OUTPUT_DIR}/tables)
      message(FATAL_ERROR "tools/gen_unicode.py accepted a broken ${file_name} (expected: ${expected_words})")
    endif()
    string(FIND "${refusal}" "${expected_words}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "refusal of a broken ${file_name} does not say '${expected_words}': ${refusal}")
    endif()
  endforeach()
  message(STATUS "tools/gen_unicode.py refused every broken data file and wrote nothing")
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
