// The main of test programs that leave platform calls running on purpose (a request given up
// in WinInet): once the results are printed, the program ends as the tools do (EndProgram),
// since a normal exit can hang for ever or crash under Wine then.
#include "platform/ProgramEnd.h"

#include <gtest/gtest.h>

namespace {
// Longer than a request's close may wait for the platform.
constexpr DWORD kEndWaitMs = 20000;
}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const int code = RUN_ALL_TESTS();
    Vantor::EndProgram(code, kEndWaitMs);
}
