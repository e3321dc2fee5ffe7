# The end-to-end tests of the built program find it through ZELVORA_BINARY (POSIX front end only).
if(TARGET zelvora_app_tests AND TARGET zelvora AND NOT WIN32)
  target_compile_definitions(zelvora_app_tests PRIVATE ZELVORA_BINARY="$<TARGET_FILE:zelvora>"
                                                       ZELVORA_PROJECT_VERSION="${PROJECT_VERSION}")
  add_dependencies(zelvora_app_tests zelvora)
endif()
