# Compiler and linker hardening for every target, as Debian builds its own packages: the tool
# parses reports that other people send.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection
                    -Wformat -Werror=format-security)
# Fortified calls need the optimiser; sanitizer builds check the same calls more closely, and the
# fortified wrappers would hide them from AddressSanitizer.
if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>")
endif()
# Relocations read-only after start, with every symbol resolved at start.
add_link_options(LINKER:-z,relro LINKER:-z,now)
