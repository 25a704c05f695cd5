# Turns the PEM public key named by VESK_MANIFEST_PUBLIC_KEY into the 411-byte RSAPUBLICBLOB that
# the program embeds: a six-field little-endian header ("RSA1", 3072, 3, 384, 0, 0), then the
# exponent and the modulus, both big-endian.
find_program(OPENSSL_PROGRAM openssl REQUIRED)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VESK_MANIFEST_PUBLIC_KEY}")

execute_process(
    COMMAND "${OPENSSL_PROGRAM}" rsa -pubin -in "${VESK_MANIFEST_PUBLIC_KEY}" -noout -text
    OUTPUT_VARIABLE keyText RESULT_VARIABLE keyResult ERROR_QUIET)
if(NOT keyResult EQUAL 0)
    message(FATAL_ERROR "cannot read the RSA public key ${VESK_MANIFEST_PUBLIC_KEY}")
endif()
if(NOT keyText MATCHES "Public-Key: \\(3072 bit\\)")
    message(FATAL_ERROR "${VESK_MANIFEST_PUBLIC_KEY}: the manifest key must be RSA 3072")
endif()
string(REGEX MATCH "Exponent: [0-9]+ \\(0x([0-9a-fA-F]+)\\)" exponentLine "${keyText}")
if(NOT exponentLine)
    message(FATAL_ERROR "${VESK_MANIFEST_PUBLIC_KEY}: no public exponent found")
endif()
string(REGEX REPLACE "^0+" "" exponentHex "${CMAKE_MATCH_1}")
string(LENGTH "${exponentHex}" exponentDigits)
if(exponentDigits LESS 5 OR exponentDigits GREATER 6)
    message(FATAL_ERROR "${VESK_MANIFEST_PUBLIC_KEY}: the public exponent must take exactly 3 bytes")
endif()
math(EXPR exponentPadLength "6 - ${exponentDigits}")
string(SUBSTRING "000000" 0 ${exponentPadLength} exponentPad)
set(exponentHex "${exponentPad}${exponentHex}")

execute_process(
    COMMAND "${OPENSSL_PROGRAM}" rsa -pubin -in "${VESK_MANIFEST_PUBLIC_KEY}" -noout -modulus
    OUTPUT_VARIABLE modulusText OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
string(REGEX REPLACE "^Modulus=" "" modulusHex "${modulusText}")
string(LENGTH "${modulusHex}" modulusDigits)
if(NOT modulusDigits EQUAL 768)
    message(FATAL_ERROR "${VESK_MANIFEST_PUBLIC_KEY}: the modulus must take exactly 384 bytes")
endif()

# "RSA1", 3072 bits, 3 exponent bytes, 384 modulus bytes, no primes.
string(CONCAT blobHex "52534131" "000c0000" "03000000" "80010000" "00000000" "00000000"
    "${exponentHex}" "${modulusHex}")
string(REGEX REPLACE "([0-9a-fA-F][0-9a-fA-F])" "0x\\1," blobBytes "${blobHex}")
configure_file("${CMAKE_SOURCE_DIR}/cmake/manifest_key_blob.cpp.in"
               "${CMAKE_BINARY_DIR}/generated/manifest_key_blob.cpp" @ONLY)
