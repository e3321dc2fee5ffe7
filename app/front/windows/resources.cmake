# Windows resources of zelvora.exe (version information, manifest and icon); included by app/CMakeLists.txt on Windows.
enable_language(RC)

target_sources(zelvora PRIVATE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc APPEND PROPERTY INCLUDE_DIRECTORIES
             ${CMAKE_CURRENT_BINARY_DIR}/generated ${CMAKE_CURRENT_LIST_DIR})
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/zelvora.manifest ${CMAKE_CURRENT_LIST_DIR}/zelvora.ico)
