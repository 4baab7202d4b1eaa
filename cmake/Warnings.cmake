# SPDX-License-Identifier: MIT
# Strict warnings for our own targets only; third-party headers come in as SYSTEM. The dev and
# asan presets make them errors (CMAKE_COMPILE_WARNING_AS_ERROR); a user's release build does not.
function(vellmar_target target)
    # Project headers are included by their folder from the root: #include "imaging/Decode.h".
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    if(VELLMAR_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(VELLMAR_COVERAGE)
        target_compile_options(${target} PRIVATE --coverage)
        target_link_options(${target} PRIVATE --coverage)
    endif()
endfunction()
