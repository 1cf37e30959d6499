#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "trimhost/cli/tool_error.h"

namespace {

// The first cells of the rows of the table under `## Exit status`.
std::vector<std::string> documentedStatuses() {
  std::ifstream docs(TRIMHOST_DOCS);
  std::vector<std::string> statuses;
  std::string line;
  while (std::getline(docs, line) && line != "## Exit status") {
  }
  while (std::getline(docs, line) && line.rfind('|', 0) != 0) {
  }
  for (; docs && line.rfind('|', 0) == 0; std::getline(docs, line)) {
    const std::string cell = line.substr(2, line.find(" |", 1) - 2);
    if (cell != "Status" && cell.find("---") == std::string::npos) statuses.push_back(cell);
  }
  return statuses;
}

// The tags of the .TP items under the manual page's EXIT STATUS, each a
// `.B STATUS` line.
std::vector<std::string> manualStatuses() {
  std::ifstream page(TRIMHOST_MAN_PAGE);
  std::vector<std::string> statuses;
  std::string line;
  while (std::getline(page, line) && line != ".SH EXIT STATUS") {
  }
  for (std::string previous; std::getline(page, line) && line.rfind(".SH", 0) != 0; previous = line)
    if (previous == ".TP" && line.rfind(".B ", 0) == 0) statuses.push_back(line.substr(3));
  return statuses;
}

std::vector<std::string> toolStatuses() {
  std::vector<std::string> table;
  for (const ExitStatusMeaning& row : kExitStatusMeanings) table.push_back(row.status);
  return table;
}

}  // namespace

TEST(ExitStatuses, TheDocsListEveryStatusTheHelpDoesInItsOrder) {
  EXPECT_EQ(documentedStatuses(), toolStatuses());
}

TEST(ExitStatuses, TheManualPageListsEveryStatusTheHelpDoesInItsOrder) {
  EXPECT_EQ(manualStatuses(), toolStatuses());
}
