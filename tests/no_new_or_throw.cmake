# Fails when the product library (its undefined symbols) or binary (all of
# them) names operator new/delete, a C++ throw, or a throwing standard-library
# helper.
set(files "${LIB};${BIN}")
set(options "--undefined-only;--")
foreach(file which IN ZIP_LISTS files options)
  execute_process(COMMAND nm -C ${which} "${file}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  string(REGEX MATCHALL "[^\n]*(operator new|operator delete|__cxa_throw|__cxa_allocate_exception|__cxa_begin_catch|std::__throw_)[^\n]*"
         hits "${symbols}")
  if(NOT rc EQUAL 0 OR hits)
    string(REPLACE ";" "\n" hits "${hits}")
    message(FATAL_ERROR "nm on ${file}: status ${rc}; refers to:\n${hits}")
  endif()
endforeach()
message(STATUS "no operator new, delete or throw in the product")
