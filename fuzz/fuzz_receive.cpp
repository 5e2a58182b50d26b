// libFuzzer target: arbitrary bytes from the line into the exchange cycle.
// What one run does is ReceiveTarget (receive_run.h); a broken rule aborts,
// so libFuzzer keeps the input.
#include "receive_run.h"

namespace {
fuzz::ReceiveTarget *target = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startQt();
    static fuzz::ReceiveTarget t; // goes before the application at exit
    target = &t;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const fuzz::Outcome broken = target->run(data, size))
        fuzz::fail(broken->rule, broken->bytes);
    return 0;
}
