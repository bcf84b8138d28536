# SPDX-License-Identifier: GPL-3.0-or-later
# bench/detect_accuracy sorts every value into its kind and length band:
# runs it on detect-accuracy-kinds.tsv (one or more values of each kind) and
# checks how many values each row of the kind table counts. Only the counts
# are checked, not how many were detected right: those depend on the list.
#   cmake -DTOOL=<detect_accuracy> -DVALUES=<detect-accuracy-kinds.tsv> -P detect_accuracy_kinds.cmake
execute_process(COMMAND ${TOOL} ${VALUES} OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "detect_accuracy exited with ${status}")
endif()

# code, kind and band, values counted. Half-width values count as half-width
# whatever their field (a reading and an organization here); 7-bit values
# (the postal code, the e-mail address) count nowhere; the band is the
# length in the code (the address is 27 bytes in Shift_JIS, 37 in UTF-8).
set(rows
  "Shift_JIS names all:2"
  "Shift_JIS readings all:1"
  "Shift_JIS addresses 9-32:1"
  "UTF-8 addresses 33-128:1"
  "EUC-JP organizations all:1"
  "Shift_JIS everyday <=8:1"
  "Shift_JIS everyday all:3"
  "EUC-JP free-text >128:1"
  "UTF-8 half-width all:2")
foreach(row IN LISTS rows)
  string(REPLACE ":" ";" parts "${row}")
  list(GET parts 0 what)
  list(GET parts 1 count)
  string(REPLACE " " " +" pattern "${what}")
  if(NOT out MATCHES "\n${pattern} +${count} ")
    message(FATAL_ERROR "no row \"${what}\" counting ${count} values in:\n${out}")
  endif()
endforeach()

# Forms of one value are values, not forms: the vote lists pairs and forms only.
if(out MATCHES "\n[^\n]* value +[0-9]+ of" OR NOT out MATCHES "\nUTF-8 +pair +1 of +1 right")
  message(FATAL_ERROR "the vote should list the pair and the form only:\n${out}")
endif()
