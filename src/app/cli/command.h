// The commands of the command line. Each command lives in a file of its own that defines
// its adder; commands.cpp lists the adders, and the help text, the man page and the
// bash completion follow that list.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <vector>

#include "app/cli/output.h"

namespace quivra {

// What the chosen command does once the program's state is loaded; returns the exit
// status.
using CommandAction = std::function<int(Terminal&)>;

// Adds one command to the command line; its parse callback stores its action in chosen.
using CommandAdder = void (*)(CLI::App& app, CommandAction& chosen);

const std::vector<CommandAdder>& commandAdders();

}  // namespace quivra
