# Windows resources of zelvora.exe (version information and manifest); included by app/CMakeLists.txt on Windows.
enable_language(RC)

# The version numbers come from the project, so the resource never disagrees with the release.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/windows/zelvora_version.h CONTENT [[
// Version of zelvora.exe for its resource file; generated from the project version.
#define ZELVORA_VERSION_MAJOR @Zelvora_VERSION_MAJOR@
#define ZELVORA_VERSION_MINOR @Zelvora_VERSION_MINOR@
#define ZELVORA_VERSION_PATCH @Zelvora_VERSION_PATCH@
#define ZELVORA_VERSION_TEXT "@Zelvora_VERSION@"
]] @ONLY)

target_sources(zelvora PRIVATE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc APPEND PROPERTY INCLUDE_DIRECTORIES
             ${CMAKE_CURRENT_BINARY_DIR}/windows ${CMAKE_CURRENT_LIST_DIR})
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/zelvora.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/zelvora.manifest)
