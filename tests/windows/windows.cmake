# Checks of zelvora.exe as a Windows program: what it needs to run, and end-to-end runs through its open-file
# dialog and message box under Wine on an Xvfb display. Scripts are run as plain commands, not targets, so
# that ctest does not put Wine in front of them.
if(NOT (WIN32 AND CMAKE_CROSSCOMPILING AND TARGET zelvora))
  return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_test(NAME windows_exe_is_self_contained
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/exe_check.py --objdump ${CMAKE_OBJDUMP}
    --windres ${CMAKE_RC_COMPILER} --manifest ${PROJECT_SOURCE_DIR}/app/front/windows/zelvora.manifest
    --version ${PROJECT_VERSION} --icon ${PROJECT_SOURCE_DIR}/app/front/windows/zelvora.ico
    --license ${PROJECT_SOURCE_DIR}/LICENSE $<TARGET_FILE:zelvora>)

add_executable(zelvora_window_text ${CMAKE_CURRENT_LIST_DIR}/window_text.cpp)
target_link_options(zelvora_window_text PRIVATE -municode)
add_executable(zelvora_hold_lock ${CMAKE_CURRENT_LIST_DIR}/hold_lock.cpp)
target_link_options(zelvora_hold_lock PRIVATE -municode)

# A Wine prefix of their own, so that no Wine session of the unit tests, started without a display, is
# joined. Windows get Wine's own frames, so the screenshots show the captions without a window manager.
set(gui_prefix ${CMAKE_BINARY_DIR}/wine-gui)
add_custom_command(
  OUTPUT ${gui_prefix}/system.reg
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${gui_prefix} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
          ${ZELVORA_WINE} wineboot --init
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${gui_prefix} WINEDEBUG=-all
          ${ZELVORA_WINE} reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${gui_prefix} ${ZELVORA_WINESERVER} --wait
  COMMENT "Creating the Wine prefix ${gui_prefix}"
  VERBATIM)
add_custom_target(zelvora_wine_gui_prefix ALL DEPENDS ${gui_prefix}/system.reg)

foreach(case IN ITEMS success errors cancel hungarian-path foreign-letter-path given-paths colliding-paths
                      waiting)
  add_test(NAME windows_gui.${case}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/gui_test.py
      --exe $<TARGET_FILE:zelvora> --window-text $<TARGET_FILE:zelvora_window_text>
      --hold-lock $<TARGET_FILE:zelvora_hold_lock> --wineprefix ${gui_prefix}
      --work ${CMAKE_BINARY_DIR}/gui-artifacts/${case} ${case})
  # One display and one Wine session at a time; the waits inside the script are bounded well below this.
  set_tests_properties(windows_gui.${case} PROPERTIES RUN_SERIAL ON TIMEOUT 600 LABELS gui)
endforeach()

# The user guide's screenshots (docs/images): the dialog and both message boxes, taken by the same runs.
#   cmake --build --preset windows --target guide_screenshots
set(guide_commands)
foreach(case IN ITEMS success errors)
  list(APPEND guide_commands
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/gui_test.py
      --exe $<TARGET_FILE:zelvora> --window-text $<TARGET_FILE:zelvora_window_text>
      --wineprefix ${gui_prefix} --work ${CMAKE_BINARY_DIR}/gui-artifacts/guide-${case}
      --shots ${PROJECT_SOURCE_DIR}/docs/images ${case})
endforeach()
add_custom_target(guide_screenshots ${guide_commands}
  DEPENDS zelvora zelvora_window_text zelvora_wine_gui_prefix
  COMMENT "Taking the user guide's screenshots into docs/images"
  VERBATIM)
