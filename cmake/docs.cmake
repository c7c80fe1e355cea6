# The docs target's step (cmake -P): doxygen over the configured Doxyfile. doxygen is looked for
# when the target runs, so installing it needs no new configure. Any doxygen warning (an
# undocumented public class or function among them) fails the step and is printed.
#   -DDOXYFILE=<build>/Doxyfile -DOUTPUT=<build>/docs
find_program(WEBJSON_DOXYGEN doxygen)
if(NOT WEBJSON_DOXYGEN)
  message(FATAL_ERROR "The API reference needs doxygen, which is not installed. On Debian, as root:\n"
                      "    apt-get install -y doxygen\n"
                      "then build the docs target again.")
endif()
file(REMOVE_RECURSE ${OUTPUT}/html ${OUTPUT}/warnings.log)
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${WEBJSON_DOXYGEN} ${DOXYFILE} RESULT_VARIABLE result)
set(warnings "")
if(EXISTS ${OUTPUT}/warnings.log)
  file(READ ${OUTPUT}/warnings.log warnings)
endif()
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "doxygen failed (${result}); its warnings (${OUTPUT}/warnings.log):\n${warnings}")
endif()
message(STATUS "API reference: ${OUTPUT}/html/index.html")
