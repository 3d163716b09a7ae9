#include "kvf_commands.h"

int main(int argc, char** argv) { return RunKvfTool(argc, argv, stdout, stderr); }
