# One target that carries the warnings and flags every Quarrow target shares.
add_library(quarrow_settings INTERFACE)
target_compile_options(quarrow_settings INTERFACE -Wall -Wextra -Wpedantic -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Qt's test macros rely on this extension.
  target_compile_options(quarrow_settings INTERFACE -Wno-gnu-zero-variadic-macro-arguments)
endif()
target_compile_definitions(quarrow_settings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QUARROW_HOME_HOST="${QUARROW_HOME_HOST}"
  QUARROW_CATALOGUE_HOST="${QUARROW_CATALOGUE_HOST}")
if(QUARROW_SANITIZE)
  target_compile_options(quarrow_settings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quarrow_settings INTERFACE -fsanitize=address,undefined)
endif()
