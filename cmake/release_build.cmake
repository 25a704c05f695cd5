# A build for players is the same bytes wherever and whenever it is built from one commit: the
# folders it was built in never reach the program (a __FILE__ or debug information would carry
# them), and the symbols are stripped. scripts/release sets SOURCE_DATE_EPOCH, from which the
# linker takes the PE time stamp.
if(VESK_RELEASE)
    add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=" "-ffile-prefix-map=${CMAKE_BINARY_DIR}/=")
    add_link_options(-s)
endif()
