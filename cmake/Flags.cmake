# Compiler settings every translation unit of the library gets. Results are
# defined bit for bit, so floating-point contraction (fused multiply-add) is
# off everywhere and no fast-math style option is ever used.
set(QIV_EXACT_FLAGS -ffp-contract=off -fno-fast-math -fno-finite-math-only -fsigned-zeros
    -ftrapping-math)

function(qiv_library_flags target)
  target_compile_options(${target} PRIVATE ${QIV_EXACT_FLAGS}
    -Wall -Wextra -fvisibility=hidden -fvisibility-inlines-hidden -fno-exceptions -fno-rtti
    -fno-threadsafe-statics)
  if(QIV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Test and benchmark code: same exactness settings, exceptions allowed.
function(qiv_tool_flags target)
  target_compile_options(${target} PRIVATE ${QIV_EXACT_FLAGS} -Wall -Wextra)
  if(QIV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Instrumented builds (scripts/test-sanitize, scripts/fuzz): QIV_SANITIZE names
# the sanitizers every target is built with, e.g. "address,undefined" or
# "thread". Any finding ends the run at once.
set(QIV_SANITIZE "" CACHE STRING "Sanitizers for every target (empty: none)")
if(QIV_SANITIZE)
  add_compile_options(-fsanitize=${QIV_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${QIV_SANITIZE})
endif()
