#include <csignal>

#include "driver/run_tool.h"

int main(int argc, char** argv) {
  // Exceeding the file size limit becomes a write error that is reported,
  // instead of a signal that ends the run without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  return RunTamberlo(argc, argv);
}
