# The compiler warnings every target of the project is built with: the program,
# its libraries, the tests, the benchmarks and the fuzz targets each link this
# target privately, so the flags are set in this one place.
add_library(zavio_warnings INTERFACE)
target_compile_options(zavio_warnings INTERFACE -Wall -Wextra)
