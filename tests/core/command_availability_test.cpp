#include <gtest/gtest.h>

#include "reader/command_availability.h"

namespace vireo {
namespace {

TEST(CommandAvailability, DuringAnOperationOnlyStopSaveSelectedAndViewsStayEnabled) {
  CommandFlags all;
  all.canSaveAll = all.canSaveSelected = all.canBrowse = all.canRecover = 1;
  all.canCopyBase = all.canRemoveBase = 1;
  const int gated[] = {command::kBrowse,   command::kRecover,    command::kSaveAll, command::kAddBase,
                       command::kCopyBase, command::kRemoveBase, command::kNew};
  for (int id : gated) {
    EXPECT_EQ(commandEnabled(id, all, 0), true) << id;
    EXPECT_EQ(commandEnabled(id, all, 1), false) << id;
    EXPECT_EQ(commandEnabled(id, CommandFlags{.canNew = 0, .canAddBase = 0}, 0), false) << id;
  }
  EXPECT_EQ(commandEnabled(command::kSaveSelected, all, 1), true);
  EXPECT_EQ(commandEnabled(command::kSaveSelected, CommandFlags{}, 0), false);
  EXPECT_EQ(commandEnabled(command::kStop, all, 1), true);
  EXPECT_EQ(commandEnabled(command::kStop, all, 0), false);
  for (int running : {0, 1}) {
    EXPECT_EQ(commandEnabled(command::kViewSystemBase, CommandFlags{}, running), true);
    EXPECT_EQ(commandEnabled(command::kViewNewsBase, CommandFlags{}, running), true);
  }
  EXPECT_EQ(commandEnabled(12345, all, 0), std::nullopt);
}

TEST(CommandAvailability, InitialFlagsAllowOnlyNewAndAddBase) {
  const CommandFlags initial;
  EXPECT_EQ(commandEnabled(command::kNew, initial, 0), true);
  EXPECT_EQ(commandEnabled(command::kAddBase, initial, 0), true);
  EXPECT_EQ(commandEnabled(command::kBrowse, initial, 0), false);
  EXPECT_EQ(commandEnabled(command::kCopyBase, initial, 0), false);
}

}  // namespace
}  // namespace vireo
