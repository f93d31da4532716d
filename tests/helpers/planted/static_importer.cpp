// Control for the planting test: imports wtsapi32 the ordinary way, so the
// planted copy beside it is loaded under the same search order.
#include <windows.h>
#include <wtsapi32.h>

int wmain()
{
    WTSFreeMemory(NULL);
    return 0;
}
