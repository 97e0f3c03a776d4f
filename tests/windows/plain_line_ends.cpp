// Linked into each test program built for Windows: standard output in binary mode, so that the
// test list GoogleTest prints for CTest (--gtest_list_tests, read on the build machine through
// Wine) ends its lines with a line feed alone, as CTest's reading of it expects. In text mode the
// C runtime writes each line feed as CR LF, and the CR would end up in every suite's name.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

// Set while the program starts, before GoogleTest prints anything.
[[maybe_unused]] const int stdout_mode = _setmode(_fileno(stdout), _O_BINARY);

}  // namespace
