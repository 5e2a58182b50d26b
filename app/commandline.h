#pragma once
// The options that must work where there is no display (a terminal, ssh):
// answered before the program builds its QApplication.
#include <QString>

#include <optional>

// For --version (-v) and --help (-h, -?, --help-all) prints the answer on standard output
// and gives the exit code 0; for an unknown long option ("--bogus") the fault
// on standard error and 1; for anything else nothing, and the program starts.
std::optional<int> answerWithoutDisplay(int argc, char **argv);

QString helpText();
