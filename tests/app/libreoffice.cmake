# Saves a declaration sheet with LibreOffice in the ways users save CSV (separators, charsets, tab) and
# converts every save with the built tool; each must give the declaration of the same sheet written by hand.
# Skipped where soffice is missing, but never under CI=true.
if(TARGET zelvora AND NOT WIN32)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME app.libreoffice_saves_convert_as_the_sheet_shows
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/libreoffice/saves.py $<TARGET_FILE:zelvora>)
    set_tests_properties(app.libreoffice_saves_convert_as_the_sheet_shows PROPERTIES SKIP_RETURN_CODE 77
      TIMEOUT 600)
  endif()
endif()
