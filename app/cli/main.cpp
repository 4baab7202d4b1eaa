// SPDX-License-Identifier: MIT
#include "app/cli/UploadCli.h"
#include "app/tool/CommandLine.h"

int main(int argc, char** argv)
{
    return ToolMain(argc, argv, &RunUploadCli);
}
