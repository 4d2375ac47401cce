# RAVELIN_SANITIZE: "" (none), "address" (ASan + UBSan) or "thread" (TSan).
set(RAVELIN_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(RAVELIN_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    # Lets a test leave out what the sanitizer run-time itself cannot do (see its use).
    add_compile_definitions(RAVELIN_UNDEFINED_SANITIZER=1)
elseif(RAVELIN_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT RAVELIN_SANITIZE STREQUAL "")
    message(FATAL_ERROR "RAVELIN_SANITIZE must be empty, address or thread")
endif()

if(RAVELIN_FUZZ)
    # Coverage instrumentation for every library the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
