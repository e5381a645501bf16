# The value of a desktop entry's Exec key that runs `program` with no
# arguments, written as the Desktop Entry Specification asks: a path holding
# a reserved character (a blank, a quote, "$", "\", ...) is quoted, with
# '"', "`", "$" and "\" escaped inside the quotes; then every "\" is escaped
# again, as in any string value, and "%" is doubled so that it is no field
# code.
function(quarrow_desktop_exec_value program out)
  set(value "${program}")
  if(value MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    string(REPLACE "`" "\\`" value "${value}")
    string(REPLACE "$" "\\$" value "${value}")
    set(value "\"${value}\"")
  endif()
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\n" "\\n" value "${value}")
  string(REPLACE "\t" "\\t" value "${value}")
  string(REPLACE "\r" "\\r" value "${value}")
  string(REPLACE "%" "%%" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
