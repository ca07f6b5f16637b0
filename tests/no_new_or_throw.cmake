# Fails when the product library or binary refers to (or, for the binary,
# contains) operator new/delete, a C++ throw, or a throwing standard-library
# helper.
foreach(file IN ITEMS "${LIB}" "${BIN}")
  if(file STREQUAL "${LIB}")
    set(which --undefined-only)
  else()
    set(which "")
  endif()
  execute_process(COMMAND nm -C ${which} "${file}"
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${file}")
  endif()
  string(REGEX MATCHALL "[^\n]*(operator new|operator delete|__cxa_throw|__cxa_allocate_exception|__cxa_begin_catch|std::__throw_)[^\n]*"
         hits "${symbols}")
  if(hits)
    string(REPLACE ";" "\n" hits "${hits}")
    message(FATAL_ERROR "${file} refers to:\n${hits}")
  endif()
endforeach()
message(STATUS "no operator new, delete or throw in the product")
