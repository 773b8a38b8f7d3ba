// hdtree-list: lists a drive's or a folder's tree on standard output.
#include <iostream>
#include <string>
#include <vector>

#include "hdtree/cli/cli.h"

int main(int argc, char** argv) {
  // The listing is written in large pieces; no line-by-line synchronisation with stdio.
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = hdtree::RunCli(args, std::cout, std::cerr);
  std::cout.flush();
  if (!std::cout && status == hdtree::kExitSuccess) return hdtree::kExitFailure;
  return status;
}
