// CTovraFiles: the script's file records. There is exactly one, number 0, the
// state stream.
#pragma once

#include <vector>

#include "runtime/file_record.h"
#include "runtime/tovra_strings.h"

class CTovraFiles : public CTovraStrings {
 public:
  FileRecord& stateStream() { return fileRecords_[0]; }

 protected:
  double reservedFileValue_ = 1.0;  // kept for scripts that use data files

 private:
  std::vector<FileRecord> fileRecords_ = std::vector<FileRecord>(1);
};
