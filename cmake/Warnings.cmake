# SPDX-License-Identifier: MIT
# Strict warnings for our own targets only; third-party headers come in as SYSTEM.
function(vellmar_target target)
    # Project headers are included by their folder from the root: #include "imaging/Decode.h".
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
    if(VELLMAR_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
