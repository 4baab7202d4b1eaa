// SPDX-License-Identifier: MIT
#include "app/grab/GrabCli.h"
#include "app/tool/CommandLine.h"

int main(int argc, char** argv)
{
    return ToolMain(argc, argv, &RunGrabCli);
}
