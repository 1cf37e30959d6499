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

}  // namespace

TEST(ExitStatuses, TheDocsListEveryStatusTheHelpDoesInItsOrder) {
  std::vector<std::string> table;
  for (const ExitStatusMeaning& row : kExitStatusMeanings) table.push_back(row.status);
  EXPECT_EQ(documentedStatuses(), table);
}
