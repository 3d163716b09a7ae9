#include "kvf_commands.h"

#include "tools/utf8_arguments.h"

int main(int argc, char** argv) {
    const CUtf8Arguments args(argc, argv);
    return RunKvfTool(args.Count(), args.Get(), stdout, stderr);
}
