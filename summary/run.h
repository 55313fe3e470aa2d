// The whole program, its stages in the order the data flows: the command line decides the inputs
// and the outputs once; the walk reads and parses the reports; each row is compared with the
// earlier summary; the writers turn it into the three outputs, each behind a sink that puts its
// file in place whole.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "summary/writers/sink.h"

// The whole program: reads, writes what was asked, names each skipped file on `err`. Returns the
// exit code. `outIsTerminal`: standard output is a terminal, so control characters in the data
// are shown escaped rather than sent to it. `files` writes the outputs named.
int RunSummary(const std::vector<std::filesystem::path>& arguments, std::ostream& out, std::ostream& err,
               bool outIsTerminal = false, OutputSinks& files = SystemOutputSinks());
