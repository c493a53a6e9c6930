#pragma once
// Window tests at a scale factor of 2: the scale is read once per process, so the test function
// runs again in a child of the test program with QT_SCALE_FACTOR=2.
#include <QString>

namespace mvtest {

// True inside the child. Outside it runs `testFunction` in the child and returns false;
// `childPassed` tells how the child ended.
bool atScaleTwo(const char* testFunction, bool& childPassed);

}  // namespace mvtest
