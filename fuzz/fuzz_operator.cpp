// libFuzzer target: arbitrary operator texts into the text conversions and
// the command handlers. What one run does is OperatorTarget
// (operator_run.h); a broken rule aborts, so libFuzzer keeps the input.
#include "operator_run.h"

namespace {
fuzz::OperatorTarget *target = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startQt();
    static fuzz::OperatorTarget t; // goes before the application at exit
    target = &t;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const fuzz::Outcome broken = target->run(data, size))
        fuzz::fail(broken->rule, broken->bytes);
    return 0;
}
