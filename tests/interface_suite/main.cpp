// Runs the interface suite against the plugin library named by the first
// argument left after GoogleTest has taken its own.

#include <gtest/gtest.h>

#include <exception>
#include <iostream>

#include "plugin_under_test.h"

namespace {

PluginLibrary* loadedPlugin = nullptr;

}  // namespace

PluginLibrary& pluginLibrary() { return *loadedPlugin; }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " [gtest options] PLUGIN_LIBRARY\n";
    return 2;
  }
  try {
    PluginLibrary library(argv[1]);
    loadedPlugin = &library;
    return RUN_ALL_TESTS();
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
}
