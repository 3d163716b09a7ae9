// qm487-kvf: checks, exports and summarises a binary log (".kvf").
//   qm487-kvf check FILE
//   qm487-kvf csv FILE [--separator S]
//   qm487-kvf stats FILE
// FILE and every argument are UTF-8.
// Exit status: 0 every record sound, 1 damaged records found (and skipped),
// 2 the file could not be read, is not a binary log, or the command line is wrong.
#pragma once

#include <cstdio>

int RunKvfTool(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
