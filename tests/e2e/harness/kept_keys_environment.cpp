// Compiled into every end-to-end test program (not taken from the harness library, whose
// objects are linked only when called): the user's keys that tests change are kept from
// the program's first test to its end, whether its tests pass or not.
#include "harness.h"

namespace {

class KeptKeysEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kept_.reset(new harness::KeptKeys); }
    void TearDown() override { kept_.reset(); }

private:
    std::unique_ptr<harness::KeptKeys> kept_;
};

// Registered while the program starts, before GoogleTest runs its tests.
::testing::Environment* const g_keptKeys = ::testing::AddGlobalTestEnvironment(new KeptKeysEnvironment);

}  // namespace
