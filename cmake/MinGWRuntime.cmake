# The MinGW-w64 runtime DLLs a program of this compiler loads (C++ library, exception support,
# threads), as full paths: they ship beside the program and are on Wine's path for the tests.
function(tessaro_mingw_runtime_dlls out)
  set(dlls)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    # The compiler prints the bare name of a file it does not have: the other exception model's.
    if(IS_ABSOLUTE "${path}")
      get_filename_component(path "${path}" REALPATH)
      list(APPEND dlls "${path}")
    endif()
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()
