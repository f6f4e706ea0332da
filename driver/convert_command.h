// `tamberlo convert [OPTION]... PATH...`: the conventional command line.
#pragma once

// The arguments after "convert". Exit status: 0 every model converted, 1 some
// model failed or had damaged data, 64 a wrong command line (nothing written),
// 128 + the signal when interrupted.
int RunConvertCommand(int argc, char** argv);
