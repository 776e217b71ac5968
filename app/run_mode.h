#pragma once
// What the command line asks for. Switches match whole arguments exactly; the rest is ignored.
namespace tallyvane {

struct RunMode {
    bool selfTest = false;
    bool demo = false;
};

RunMode readRunMode(int argc, const char* const* argv);

}  // namespace tallyvane
