#pragma once
// Built-in checks of the pure logic. Prints the PASS line when all hold; on the first failure the
// process exits at once with status 1 and prints nothing.
#include "model/services.h"

namespace tallyvane {

// `services` feed the demo-model check (run only in demo mode), which must use none of them.
void runSelfTest(ModelServices services);

inline constexpr const char* selfTestPassLine =
    "PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set";

}  // namespace tallyvane
