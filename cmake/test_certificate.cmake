# SPDX-License-Identifier: Apache-2.0
# The test-signing key and certificate of the kernel build, run with cmake -P:
#   -DOPENSSL=openssl -DWORK=DIR -DKEY=.key -DCRT=.crt -DCER=.cer -DSIGNING_TIME=EPOCH
#   [-DGIVEN_KEY=PEM -DGIVEN_CRT=PEM]
# The test-signed images carry SIGNING_TIME (the images' time stamp) as their
# signing time. A certificate made here is valid from that moment for ten
# years: one valid only from the moment it was made would begin after the
# signing time of its own signatures. A given key and certificate (a second
# build that is to match a first) are taken as they are once the certificate
# is found to begin no later than the signing time.
foreach(var OPENSSL WORK KEY CRT CER SIGNING_TIME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "test_certificate.cmake: ${var} not given")
  endif()
endforeach()
if(NOT SIGNING_TIME MATCHES "^[0-9]+$")
  message(FATAL_ERROR "test_certificate.cmake: SIGNING_TIME '${SIGNING_TIME}' is no time stamp")
endif()

# A time stamp (seconds since 1970, UTC) in FORMAT.
function(utc_time out seconds format)
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} ${seconds})  # string(TIMESTAMP) then formats this moment
  string(TIMESTAMP text "${format}" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(failed)
    string(REPLACE "\n" " " err "${err}")
    message(FATAL_ERROR "${ARGV0} failed: ${err}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${WORK})
if(GIVEN_KEY AND GIVEN_CRT)
  file(COPY_FILE ${GIVEN_KEY} ${KEY})
  file(COPY_FILE ${GIVEN_CRT} ${CRT})
else()
  # openssl ca, the one openssl command of the 3.0 series that takes a start
  # date; the certificate signs itself (-selfsign), as a test root does.
  math(EXPR end "${SIGNING_TIME} + 3650 * 86400")
  utc_time(start_date ${SIGNING_TIME} "%Y%m%d%H%M%SZ")
  utc_time(end_date ${end} "%Y%m%d%H%M%SZ")
  file(REMOVE_RECURSE ${WORK}/ca)
  file(MAKE_DIRECTORY ${WORK}/ca)
  file(WRITE ${WORK}/ca/index.txt "")
  file(WRITE ${WORK}/ca/serial "01\n")  # not used: -rand_serial
  file(WRITE ${WORK}/ca/ca.cnf "[ca]
default_ca = test_ca
[test_ca]
database = ${WORK}/ca/index.txt
new_certs_dir = ${WORK}/ca
serial = ${WORK}/ca/serial
default_md = sha256
policy = policy_cn
x509_extensions = test_signing
unique_subject = no
[policy_cn]
commonName = supplied
[test_signing]
basicConstraints = critical, CA:true
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
extendedKeyUsage = codeSigning
")
  run(${OPENSSL} req -new -newkey rsa:2048 -nodes -keyout ${KEY} -out ${WORK}/ca/request.csr
    -subj "/CN=tovmem test signing, not for release")
  run(${OPENSSL} ca -batch -config ${WORK}/ca/ca.cnf -selfsign -keyfile ${KEY} -in ${WORK}/ca/request.csr
    -out ${CRT} -notext -rand_serial -startdate ${start_date} -enddate ${end_date})
  file(REMOVE_RECURSE ${WORK}/ca)
endif()

# NotBefore against the signing time, both as ISO 8601 in UTC.
execute_process(COMMAND ${OPENSSL} x509 -in ${CRT} -noout -startdate -dateopt iso_8601
  RESULT_VARIABLE failed OUTPUT_VARIABLE not_before OUTPUT_STRIP_TRAILING_WHITESPACE)
if(failed OR NOT not_before MATCHES "^notBefore=([0-9-]+ [0-9:]+Z)$")
  message(FATAL_ERROR "cannot read the start of ${CRT}'s validity: ${not_before}")
endif()
set(not_before ${CMAKE_MATCH_1})
utc_time(signing ${SIGNING_TIME} "%Y-%m-%d %H:%M:%SZ")
if(not_before STRGREATER signing)
  message(FATAL_ERROR "the test-signing certificate ${CRT} is valid from ${not_before}, after the images' signing "
    "time ${signing}: give one valid from that time or earlier, or none to have one made")
endif()
run(${OPENSSL} x509 -in ${CRT} -outform der -out ${CER})
message(STATUS "Test-signing certificate valid from ${not_before}; signing time ${signing}")
