// Checks that an action fails the way trimhost reports failures: with the
// exit status it ends with and a message that says what went wrong.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "trimhost/cli/tool_error.h"

template <typename Action>
void expectToolError(Action action, ExitStatus status, const std::string& messagePart) {
  try {
    action();
    ADD_FAILURE() << "succeeded; expected a failure saying: " << messagePart;
  } catch (const ToolError& error) {
    EXPECT_EQ(static_cast<int>(error.status), static_cast<int>(status)) << error.what();
    EXPECT_NE(std::string(error.what()).find(messagePart), std::string::npos)
        << "message: " << error.what() << "\nexpected in it: " << messagePart;
  }
}
