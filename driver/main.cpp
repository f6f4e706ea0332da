#include "driver/run_tool.h"

int main(int argc, char** argv) { return RunTamberlo(argc, argv); }
