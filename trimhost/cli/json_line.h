// JSON text for scripts in which every string keeps its bytes. File names
// need not be UTF-8: a byte that is not part of valid UTF-8 is written as the
// escape \udcXX (0xDC00 plus the byte), as Python's "surrogateescape" error
// handler reads such bytes, so that os.fsencode(json.loads(line)["input"])
// gives back the name's exact bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The value on one line, without a newline.
std::string jsonLine(const nlohmann::ordered_json& value);
