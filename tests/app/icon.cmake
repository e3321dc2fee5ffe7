# Redraws the icon of zelvora.exe with tools/gen_icon.py and compares it byte for byte with the committed
# app/front/windows/zelvora.ico, so the icon can never drift from its script.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME app.icon_is_drawn_by_its_script
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/gen_icon.py --check
      ${PROJECT_SOURCE_DIR}/app/front/windows/zelvora.ico)
endif()
