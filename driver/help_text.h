// The help texts, their options taken from the option table, and the help
// command.
#pragma once

#include <string>

// -h, --help, `tamberlo help`: one 80-column, 24-line screen.
std::string ShortHelpText();
// `tamberlo help convert`, `tamberlo convert --help`: every option of convert
// with its default, the outputs and the exit statuses.
std::string ConvertHelpText();
// `tamberlo help file`: the first version's -file and -batch command lines.
std::string FirstVersionHelpText();
// "tamberlo <version>\n".
std::string VersionText();

// `tamberlo help [TOPIC]` (the arguments after "help"): the topic's text on
// standard output, status 0; an unknown topic is a wrong command line (64).
int RunHelpCommand(int argc, char** argv);
