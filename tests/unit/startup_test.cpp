#include <gtest/gtest.h>

#include "app/app.h"

TEST(SingleInstance, OnlyAnExistingNameRefusesTheStart)
{
    struct Row {
        bool gotHandle;
        DWORD lastError;
        bool running;
    };
    const Row rows[] = {
        {true, ERROR_SUCCESS, false},       {true, ERROR_ALREADY_EXISTS, true},
        {true, ERROR_ACCESS_DENIED, false},  // a handle is ours, whatever the stale error says
        {false, ERROR_ACCESS_DENIED, true},  // held by an instance we may not open (elevated)
        {false, ERROR_ALREADY_EXISTS, false}, {false, ERROR_INVALID_HANDLE, false},
        {false, ERROR_NOT_ENOUGH_MEMORY, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(IsAnotherInstanceRunning(r.gotHandle, r.lastError), r.running)
            << "handle " << r.gotHandle << " error " << r.lastError;
    }
}
