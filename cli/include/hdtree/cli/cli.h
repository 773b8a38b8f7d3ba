// The command-line lister: lists a drive or a folder as tree text on standard output.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "hdtree/platform/drives.h"

namespace hdtree {

// Exit statuses of the lister.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the listing or the save failed
inline constexpr int kExitUsage = 2;    // the command line is wrong

inline constexpr std::string_view kCliName = "hdtree-list";

// The usage lines, each followed by a line feed.
std::string CliUsage();

// Runs the lister over the host's drive table. args are the arguments after the program name.
// The listing goes to out, the count line and every message to err. Returns the exit status.
// The process's current directory is the same afterwards as before.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same over a given drive table (a folder target gets its letter in this table).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           DriveTable drives);

}  // namespace hdtree
